#include "report/ui/reportexport.h"

#include "report/core/reportfile.h"
#include "report/pdf/reportpdf.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QThread>

#include <atomic>
#include <memory>

namespace reportexport {
namespace {

// The PDF on a worker thread: the layout of a long report takes a second or
// more, and the window is to stay usable meanwhile. Its progress comes back
// through this thread's event queue.
Result<void> writePdf(const report::CheckReportModel& model, const QString& fileName,
                      const Progress& progress)
{
    auto relay = std::make_unique<QObject>();  // lives on this thread; receives the progress
    QObject* receiver = relay.get();
    std::atomic<int> shown{-1};  // the last page told, so that the queue is not flooded
    Result<void> written;
    QEventLoop loop;
    QThread* worker = QThread::create([&] {
        written = report::writePdf(model, fileName, [&](int page, int pages) {
            if (!progress || page == shown.exchange(page))
                return;
            const QString text = pages == 0
                ? QStringLiteral("正在排版检测报告……")
                : QStringLiteral("正在生成 PDF……第 %1 / %2 页").arg(page).arg(pages);
            QMetaObject::invokeMethod(
                receiver, [&progress, text] { progress(text); }, Qt::QueuedConnection);
        });
    });
    QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
    if (progress)
        progress(QStringLiteral("正在排版检测报告……"));
    worker->start();
    loop.exec();
    worker->wait();
    delete worker;
    relay.reset();  // progress still queued is dropped with its receiver
    return written;
}

}  // namespace

QString fileTypes() { return QStringLiteral("网页文件(*.html);;PDF文件(*.pdf)"); }

bool isPdfName(const QString& fileName) { return reportfile::isPdfName(fileName); }

QString withSuffix(const QString& fileName)
{
    if (QFileInfo(fileName).suffix().isEmpty())
        return fileName + QStringLiteral(".html");
    return fileName;
}

Result<void> write(const report::CheckReportModel& model, const QString& fileName, const Progress& progress)
{
    if (isPdfName(fileName))
        return writePdf(model, fileName, progress);
    return reportfile::write(report::html(model).toUtf8(), fileName);
}

}  // namespace reportexport
