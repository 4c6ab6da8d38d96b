#include "singleinstance.h"

#include "endpoints.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QWidget>

#include <algorithm>

namespace singleinstance {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QByteArray kRestoreRequest = "restore\n";
constexpr int kSocketTimeoutMs = 1000;

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

QString processList()
{
    // The idle task (PID 0) has no /proc entry; its line keeps the list's
    // first entry the idle task, which the copy count never examines.
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

QString executableName()
{
#ifdef Q_OS_WIN
    const QString suffix = QStringLiteral(".exe");
#else
    const QString suffix;
#endif
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + suffix;
}

int countCopies(const QString& processList, const QString& executableName)
{
    const QStringList entries = processList.split(kCrLf);
    int copies = 0;
    for (qsizetype i = 1; i < entries.size() - 1; ++i)
        copies += entries[i] == executableName;
    return copies;
}

QString defaultServerName()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + u'/' + version::caption();
}

bool askToRestore(const QString& serverName)
{
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(kSocketTimeoutMs))
        return false;
    socket.write(kRestoreRequest);
    const bool sent = socket.waitForBytesWritten(kSocketTimeoutMs);
    socket.disconnectFromServer();
    return sent;
}

RestoreServer::RestoreServer(QWidget* window, QObject* parent)
    : QObject(parent), window_(window), server_(new QLocalServer(this))
{
    connect(server_, &QLocalServer::newConnection, this, &RestoreServer::acceptConnections);
}

bool RestoreServer::listen(const QString& serverName)
{
    if (server_->listen(serverName))
        return true;
    if (server_->serverError() != QAbstractSocket::AddressInUseError)
        return false;
    // Left behind by a copy that crashed, unless a live copy still answers.
    QLocalSocket probe;
    probe.connectToServer(serverName);
    if (probe.waitForConnected(kSocketTimeoutMs))
        return false;
    QLocalServer::removeServer(serverName);
    return server_->listen(serverName);
}

void RestoreServer::acceptConnections()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->readAll().contains(kRestoreRequest.trimmed()))
                return;
            window_->showNormal();
            window_->raise();
            window_->activateWindow();
        });
    }
}

}  // namespace singleinstance
