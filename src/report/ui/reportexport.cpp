#include "report/ui/reportexport.h"

#include "report/core/reportfile.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <algorithm>
#include <memory>

namespace reportexport {
namespace {

// Loads through a file, not setHtml: setHtml goes through a data: address,
// which the engine refuses beyond 2 MB, and the report of a long paper with
// ten sources per piece passes that.
Result<QString> stageHtml(const QTemporaryDir& dir, const QByteArray& html)
{
    if (!dir.isValid())
        return failure(QStringLiteral("无法创建临时文件夹：") + dir.errorString());
    const QString path = dir.filePath(QStringLiteral("report.html"));
    if (auto written = reportfile::write(html, path); !written)
        return failure(written.error());
    return path;
}

// Tells `progress` the stage and the seconds spent, now and every second.
class ProgressTicker {
public:
    explicit ProgressTicker(const Progress& progress) : progress(progress)
    {
        clock.start();
        ticks.setInterval(1000);
        QObject::connect(&ticks, &QTimer::timeout, [this] { tell(); });
        if (progress)
            ticks.start();
    }
    void enter(const QString& what)
    {
        stage = what;
        tell();
    }

private:
    void tell()
    {
        if (progress)
            progress(stage + QStringLiteral("……已用 ") + QString::number(clock.elapsed() / 1000)
                     + QStringLiteral(" 秒"));
    }

    const Progress& progress;
    QElapsedTimer clock;
    QTimer ticks;
    QString stage;
};

}  // namespace

QString fileTypes() { return QStringLiteral("网页文件(*.html);;PDF文件(*.pdf)"); }

bool isPdfName(const QString& fileName) { return reportfile::isPdfName(fileName); }

QString withSuffix(const QString& fileName)
{
    if (QFileInfo(fileName).suffix().isEmpty())
        return fileName + QStringLiteral(".html");
    return fileName;
}

Result<QByteArray> printPdf(const QByteArray& html, int timeoutMs, const Progress& progress)
{
    ProgressTicker ticker(progress);
    ticker.enter(QStringLiteral("正在排版检测报告"));
    const QTemporaryDir dir;
    const auto staged = stageHtml(dir, html);
    if (!staged)
        return failure(staged.error());

    // A profile of its own, off the record: printing leaves nothing on disk.
    QWebEngineProfile profile;
    auto page = std::make_unique<QWebEnginePage>(&profile);
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.start(timeoutMs);

    bool loaded = false;
    bool loadDone = false;
    QObject::connect(page.get(), &QWebEnginePage::loadFinished, &loop, [&](bool ok) {
        loaded = ok;
        loadDone = true;
        loop.quit();
    });
    page->load(QUrl::fromLocalFile(*staged));
    if (!loadDone)
        loop.exec();
    if (!loadDone || !loaded)
        return failure(loadDone ? QStringLiteral("报告无法排版成 PDF。") : QStringLiteral("生成 PDF 超时。"));

    ticker.enter(QStringLiteral("正在生成 PDF"));
    bool printed = false;
    QByteArray pdf;
    // The callback may come after this function has given up; it then finds
    // the flag gone and touches nothing.
    auto alive = std::make_shared<bool>(true);
    page->printToPdf(
        [&, alive](const QByteArray& bytes) {
            if (!*alive)
                return;
            pdf = bytes;
            printed = true;
            loop.quit();
        },
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15),
                    QPageLayout::Millimeter));
    if (!printed)
        loop.exec();
    *alive = false;
    if (!printed)
        return failure(QStringLiteral("生成 PDF 超时。"));
    if (pdf.isEmpty())
        return failure(QStringLiteral("生成 PDF 失败。"));
    return pdf;
}

Result<void> write(const QByteArray& html, const QString& fileName, const Progress& progress)
{
    if (!isPdfName(fileName))
        return reportfile::write(html, fileName);
    // The engine lays out and prints about a megabyte of report in 5 to 15 s
    // (more on a busy machine); a long thesis with summaries is several.
    const qint64 megabytes = html.size() / (1024 * 1024);
    const auto pdf = printPdf(html, int(std::min<qint64>(120000 + 60000 * megabytes, 1800000)), progress);
    if (!pdf)
        return failure(pdf.error());
    return reportfile::write(*pdf, fileName);
}

}  // namespace reportexport
