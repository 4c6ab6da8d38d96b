// A real trovalis process that finds another process of its name asks the
// running copy, over the local socket named after the version caption, to
// restore its window. This test plays the running copy's side of the socket.

#include "mainwindow/ui/singleinstance.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestSingleInstance : public QObject {
    Q_OBJECT
private:
    static void stop(QProcess& process)
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.kill();
        process.waitForFinished(5000);
    }

private slots:
    void secondCopyAsksTheFirstToRestore()
    {
        const QString serverName = singleinstance::defaultServerName();
        QLocalServer firstCopy;
        if (!firstCopy.listen(serverName)) {
            QLocalSocket probe;
            probe.connectToServer(serverName);
            if (probe.waitForConnected(1000))
                QSKIP("another Trovalis of this user is running; its socket is in use");
            QLocalServer::removeServer(serverName);  // left by a copy that was killed
            QVERIFY(firstCopy.listen(serverName));
        }
        QByteArray received;
        connect(&firstCopy, &QLocalServer::newConnection, this, [&] {
            QLocalSocket* socket = firstCopy.nextPendingConnection();
            connect(socket, &QLocalSocket::readyRead, this,
                    [&received, socket] { received += socket->readAll(); });
        });

        // Some other process whose executable is also called "trovalis".
        QTemporaryDir dir;
        const QString namesake = dir.filePath(QStringLiteral("trovalis"));
        QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), namesake));
        QProcess other;
        other.start(namesake, {QStringLiteral("120")});
        QVERIFY(other.waitForStarted());

        QProcess trovalis;
        trovalis.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        trovalis.start(QStringLiteral(TROVALIS_BIN), {});
        QVERIFY(trovalis.waitForStarted());

        QTRY_VERIFY_WITH_TIMEOUT(received.contains("restore"), 30000);
        QVERIFY(trovalis.state() == QProcess::Running);  // the second copy goes on starting

        stop(trovalis);
        stop(other);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_single_instance.moc"
