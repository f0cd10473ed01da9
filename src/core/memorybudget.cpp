#include "memorybudget.h"

#include <QFile>

#include <algorithm>
#include <atomic>

namespace {

// The files of one cgroup hierarchy that tell its limit and its use.
struct Hierarchy
{
    // Its controller in /proc/self/cgroup; empty for version 2.
    QByteArray controller;
    // Where it is mounted, below the root of /sys.
    QString mount;
    QString limitFile;
    QString usageFile;
    // The memory.stat lines of the file pages, active and inactive.
    QByteArray activeFiles;
    QByteArray inactiveFiles;
};

const Hierarchy version2 {{}, QStringLiteral("/fs/cgroup"), QStringLiteral("memory.max"),
    QStringLiteral("memory.current"), "active_file", "inactive_file"};
const Hierarchy version1 {"memory", QStringLiteral("/fs/cgroup/memory"),
    QStringLiteral("memory.limit_in_bytes"), QStringLiteral("memory.usage_in_bytes"),
    "total_active_file", "total_inactive_file"};

std::atomic<qint64> availableOverride {-1};

QByteArray readSmallFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.read(1 << 16) : QByteArray();
}

// A file's number, or nothing when it cannot be read or says "max".
std::optional<qint64> numberIn(const QString &path)
{
    bool ok = false;
    const qint64 number = readSmallFile(path).trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(number) : std::nullopt;
}

// The value of a "name value" line of a file such as memory.stat, 0 when there is none.
qint64 statValue(const QString &path, const QByteArray &name)
{
    for (const QByteArray &line : readSmallFile(path).split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() >= 2 && words[0] == name)
            return words[1].toLongLong();
    }
    return 0;
}

std::optional<qint64> least(std::optional<qint64> a, std::optional<qint64> b)
{
    if (a && b)
        return std::min(*a, *b);
    return a ? a : b;
}

// The process's cgroup in a hierarchy, from lines such as "0::/user.slice" (version 2) or
// "4:memory:/docker/1f04".
std::optional<QString> cgroupPath(const QString &procRoot, const Hierarchy &hierarchy)
{
    for (const QByteArray &line :
        readSmallFile(procRoot + QStringLiteral("/self/cgroup")).split('\n')) {
        const qsizetype first = line.indexOf(':');
        const qsizetype second = line.indexOf(':', first + 1);
        if (first < 0 || second < 0)
            continue;
        const QByteArray id = line.left(first);
        const QByteArray controllers = line.mid(first + 1, second - first - 1);
        const bool matches = hierarchy.controller.isEmpty()
            ? id == "0" && controllers.isEmpty()
            : controllers.split(',').contains(hierarchy.controller);
        if (matches)
            return QString::fromUtf8(line.mid(second + 1));
    }
    return std::nullopt;
}

// The cgroup above path; nothing above the root.
std::optional<QString> parentOf(const QString &path)
{
    if (path.isEmpty() || path == QLatin1String("/"))
        return std::nullopt;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash > 0 ? path.left(slash) : QStringLiteral("/");
}

// The process's cgroup and each one above it may hold a limit. Pages of files that were read
// count as used, but the kernel takes them back before it ends a process; pages of files in
// memory (tmpfs) are not among them.
std::optional<qint64> cgroupBytesLeft(
    const QString &procRoot, const QString &sysRoot, const Hierarchy &hierarchy)
{
    std::optional<QString> path = cgroupPath(procRoot, hierarchy);
    std::optional<qint64> left;
    while (path) {
        const QString folder = sysRoot + hierarchy.mount + *path + QLatin1Char('/');
        const auto limit = numberIn(folder + hierarchy.limitFile);
        const auto usage = numberIn(folder + hierarchy.usageFile);
        if (limit && usage) {
            const QString stat = folder + QStringLiteral("memory.stat");
            const qint64 used = *usage - statValue(stat, hierarchy.activeFiles)
                - statValue(stat, hierarchy.inactiveFiles);
            left = least(left, std::max<qint64>(0, *limit - used));
        }
        path = parentOf(*path);
    }
    return left;
}

} // namespace

MemoryBudget::MemoryBudget(const QString &procRoot, const QString &sysRoot)
    : procRoot(procRoot)
    , sysRoot(sysRoot)
{ }

std::optional<qint64> MemoryBudget::availableBytes() const
{
    const qint64 availableKiB = statValue(procRoot + QStringLiteral("/meminfo"), "MemAvailable:");
    const auto available
        = availableKiB > 0 ? std::optional<qint64>(availableKiB * 1024) : std::nullopt;
    return least(least(cgroupBytesLeft(procRoot, sysRoot, version2),
                     cgroupBytesLeft(procRoot, sysRoot, version1)),
        available);
}

std::optional<qint64> MemoryBudget::processAvailableBytes()
{
    if (const qint64 bytes = availableOverride.load(); bytes >= 0)
        return bytes;
#ifdef Q_OS_LINUX
    return MemoryBudget().availableBytes();
#else
    return std::nullopt;
#endif
}

void MemoryBudget::overrideAvailableBytes(qint64 bytes)
{
    availableOverride.store(bytes);
}
