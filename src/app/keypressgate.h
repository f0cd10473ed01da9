#pragma once

#include <QObject>

#include <optional>

// Drops the presses of one key that were made while an earlier press of it was still being
// handled. The window handles keys on its one thread, so a press whose work blocks it (a
// reload) would otherwise be followed by every press queued meanwhile, each doing that work
// again. Installed on the application, it looks at presses sent to windows only.
class KeyPressGate : public QObject
{
public:
    explicit KeyPressGate(int key, QObject *parent = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int key;
    bool handling = false;
    // Presses stamped up to this time, in the clock of the events' own time stamps, were
    // made while the last press let through was handled.
    std::optional<quint64> busyUntil;
};
