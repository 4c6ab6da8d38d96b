#include "platform/core/os.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>

#include <csignal>
#include <unistd.h>

namespace os {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The executable's file name, or the kernel's short command name when the
// executable link cannot be read (other users' processes).
QString processName(const QString& pidDir)
{
    QString exe = QFile::symLinkTarget(pidDir + QStringLiteral("/exe"));
    if (!exe.isEmpty()) {
        exe.remove(QStringLiteral(" (deleted)"));  // the file was replaced while running
        return QFileInfo(exe).fileName();
    }
    QFile comm(pidDir + QStringLiteral("/comm"));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(comm.readAll()).trimmed();
}

}  // namespace

QString executableSuffix() { return {}; }

QString processList()
{
    // The idle task (PID 0) has no /proc entry; its line keeps the list's
    // first entry the idle task.
    QString list = QStringLiteral("swapper/0") + kCrLf;
    QDir proc(QStringLiteral("/proc"));
    QStringList pids = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    pids.removeIf([](const QString& name) {
        bool numeric = false;
        name.toUInt(&numeric);
        return !numeric;
    });
    std::sort(pids.begin(), pids.end(),
              [](const QString& a, const QString& b) { return a.toUInt() < b.toUInt(); });
    for (const QString& pid : pids) {
        const QString name = processName(proc.filePath(pid));
        if (!name.isEmpty())  // the process ended while we listed it
            list += name + kCrLf;
    }
    return list;
}

QString localServerName(const QString& name)
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + u'/' + name;
}

void useOwnProcessGroup(QProcess& process)
{
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
}

void killProcessGroup(qint64 processId)
{
    if (processId > 0)
        ::kill(-static_cast<pid_t>(processId), SIGKILL);
}

}  // namespace os
