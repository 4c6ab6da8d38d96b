#include "support/clirunner.h"

#include <QProcess>
#include <QtGlobal>

namespace clirunner {

QString path() { return qEnvironmentVariable("TROVALIS_CLI"); }

Run run(const QStringList& args, int timeoutMs)
{
    QProcess process;
    process.start(path(), args);
    if (!process.waitForFinished(timeoutMs)) {
        qWarning("trovalis-cli did not finish in %d ms", timeoutMs);
        process.kill();
        process.waitForFinished();
        return {};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

}  // namespace clirunner
