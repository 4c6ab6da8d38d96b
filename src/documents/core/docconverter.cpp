#include "documents/core/docconverter.h"

#include "platform/core/os.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

namespace documents {

namespace {

struct ProcessOutcome {
    bool started = false;
    bool finished = false;  // false: timed out and killed
    int exitCode = -1;
    QByteArray out;
    QString err;
};

ProcessOutcome runProcess(const QString& program, const QStringList& args, int timeoutMs)
{
    ProcessOutcome outcome;
    QProcess process;
    // A group of its own, so that a time-out also ends the converter's children
    // (LibreOffice runs its real work in a child process).
    os::useOwnProcessGroup(process);
    process.start(program, args);
    if (!process.waitForStarted(timeoutMs))
        return outcome;
    outcome.started = true;
    outcome.finished = process.waitForFinished(timeoutMs);
    if (!outcome.finished) {
        os::killProcessGroup(process.processId());
        process.kill();
        process.waitForFinished(5000);
        return outcome;
    }
    outcome.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    outcome.out = process.readAllStandardOutput();
    outcome.err = QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    return outcome;
}

bool isInstalled(const QString& program)
{
    return !QStandardPaths::findExecutable(program).isEmpty()
        || (program.contains(QLatin1Char('/')) && QFileInfo(program).isExecutable());
}

// The converters end lines with LF and may add blank lines at the end; the
// word processor's own text ends with exactly one paragraph mark.
QString tidyText(QString text)
{
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    static const QRegularExpression trailingBlank(QStringLiteral("\\s+$"));
    text.remove(trailingBlank);
    return text.isEmpty() ? text : text + QLatin1Char('\n');
}

QString timeoutMessage(const QString& program, int timeoutMs)
{
    return QStringLiteral("转换程序 %1 在 %2 秒内没有完成，已停止。").arg(program).arg(timeoutMs / 1000);
}

// The converter's own words (English) follow our sentence when it gave any.
QString converterRefused(const QString& converter, const QString& reason)
{
    const QString sentence = QStringLiteral("%1 无法读取该文件").arg(converter);
    return reason.isEmpty() ? sentence + QStringLiteral("。")
                            : sentence + QStringLiteral("（") + reason.simplified() + QStringLiteral("）。");
}

Result<QString> viaAntiword(const QString& path, const DocConverterSettings& s)
{
    // -w 0 keeps each paragraph on one line instead of wrapping it at 80 columns.
    const ProcessOutcome r = runProcess(
        s.antiword,
        {QStringLiteral("-w"), QStringLiteral("0"), QStringLiteral("-m"), QStringLiteral("UTF-8.txt"), path},
        s.timeoutMs);
    if (!r.started)
        return failure(QStringLiteral("找不到转换程序 %1。").arg(s.antiword));
    if (!r.finished)
        return failure(timeoutMessage(s.antiword, s.timeoutMs));
    const QString text = tidyText(QString::fromUtf8(r.out));
    if (r.exitCode != 0 || text.isEmpty())
        return failure(converterRefused(QStringLiteral("antiword"), r.err));
    return text;
}

Result<QString> viaLibreOffice(const QString& path, const DocConverterSettings& s)
{
    QTemporaryDir work;
    if (!work.isValid())
        return failure(QStringLiteral("无法创建临时文件夹。"));
    const QString profile = QUrl::fromLocalFile(work.filePath(QStringLiteral("profile"))).toString();
    const ProcessOutcome r =
        runProcess(s.soffice,
                   {QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
                    QStringLiteral("--convert-to"), QStringLiteral("txt:Text (encoded):UTF8"),
                    QStringLiteral("--outdir"), work.path(), path},
                   s.timeoutMs);
    if (!r.started)
        return failure(QStringLiteral("找不到转换程序 %1。").arg(s.soffice));
    if (!r.finished)
        return failure(timeoutMessage(s.soffice, s.timeoutMs));
    QFile out(work.filePath(QFileInfo(path).completeBaseName() + QStringLiteral(".txt")));
    if (r.exitCode != 0 || !out.open(QIODevice::ReadOnly))
        return failure(converterRefused(QStringLiteral("LibreOffice"), r.err));
    return tidyText(QString::fromUtf8(out.readAll()));
}

}  // namespace

DocConverterSettings& docConverterSettings()
{
    static DocConverterSettings settings;
    return settings;
}

Result<QString> convertDoc(const QString& path, const DocConverterSettings& settings)
{
    if (!QFileInfo(path).isFile())
        return failure(QStringLiteral("文件不存在：%1").arg(QDir::toNativeSeparators(path)));
    Result<QString> result = viaAntiword(path, settings);
    if (result || !isInstalled(settings.soffice))
        return result;
    Result<QString> fallback = viaLibreOffice(path, settings);
    if (!fallback)
        return failure(result.error() + QLatin1Char(' ') + fallback.error());
    return fallback;
}

Result<QString> convertWithLibreOffice(const QString& path, const DocConverterSettings& settings)
{
    if (!QFileInfo(path).isFile())
        return failure(QStringLiteral("文件不存在：%1").arg(QDir::toNativeSeparators(path)));
    if (!isInstalled(settings.soffice))
        return failure(
            QStringLiteral("打开这种文件需要 LibreOffice，但本机没有安装 LibreOffice（找不到 %1）。")
                .arg(settings.soffice));
    return viaLibreOffice(path, settings);
}

}  // namespace documents
