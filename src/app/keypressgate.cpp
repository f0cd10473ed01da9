#include "keypressgate.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QWindow>

KeyPressGate::KeyPressGate(int key, QObject *parent)
    : QObject(parent)
    , key(key)
{ }

bool KeyPressGate::eventFilter(QObject *watched, QEvent *event)
{
    if (handling || event->type() != QEvent::KeyPress || !qobject_cast<QWindow *>(watched))
        return false;
    auto *press = static_cast<QKeyEvent *>(event);
    if (press->key() != key)
        return false;
    if (busyUntil && press->timestamp() <= *busyUntil)
        return true;
    // Handled here, to know when its handling ends; the press was made before it was
    // delivered, so the end counted from its stamp is never later than the true one.
    QElapsedTimer handled;
    handled.start();
    handling = true;
    QCoreApplication::sendEvent(watched, press);
    handling = false;
    busyUntil = press->timestamp() + quint64(handled.elapsed());
    return true;
}
