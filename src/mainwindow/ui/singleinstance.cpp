#include "mainwindow/ui/singleinstance.h"

#include "platform/core/endpoints.h"
#include "platform/core/os.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

namespace singleinstance {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QByteArray kRestoreRequest = "restore\n";
constexpr int kSocketTimeoutMs = 1000;

}  // namespace

QString processList() { return os::processList(); }

QString executableName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName() + os::executableSuffix();
}

int countCopies(const QString& processList, const QString& executableName)
{
    const QStringList entries = processList.split(kCrLf);
    int copies = 0;
    for (qsizetype i = 1; i < entries.size() - 1; ++i)
        copies += entries[i] == executableName;
    return copies;
}

QString defaultServerName() { return os::localServerName(version::caption()); }

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
