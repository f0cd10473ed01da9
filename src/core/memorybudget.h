#pragma once

#include <QString>

#include <optional>

// Tells how many bytes this process may still allocate before the system refuses it or ends
// it: the least of what its cgroup leaves (version 2 or 1, up to the root) and the memory the
// system has available. Files that cannot be read are left out; where none can, no limit is
// known.
class MemoryBudget
{
public:
    // Reads the files below procRoot and sysRoot, the system's own by default.
    explicit MemoryBudget(const QString &procRoot = QStringLiteral("/proc"),
        const QString &sysRoot = QStringLiteral("/sys"));

    // The bytes left now, or nothing when no limit is known.
    [[nodiscard]] std::optional<qint64> availableBytes() const;

    // The bytes this process may still allocate now: what the override says when one is set,
    // otherwise what the system's files tell (nothing outside Linux). Safe on any thread.
    [[nodiscard]] static std::optional<qint64> processAvailableBytes();
    // Makes processAvailableBytes answer bytes from now on; a negative value clears the
    // override. For tests, which must not depend on the machine's memory.
    static void overrideAvailableBytes(qint64 bytes);

private:
    QString procRoot;
    QString sysRoot;
};
