// The module of pdfpart.h.

#include "app/pdfpart/pdfpart.h"

#include "documents/pdf/pdfreader.h"
#include "report/pdf/reportpdf.h"

#include <QGuiApplication>

namespace {

bool readPages(const QString& path, QStringList& pages, QString& error)
{
    Result<QStringList> read = pdf::readPdfPages(path);
    if (!read) {
        error = read.error();
        return false;
    }
    pages = std::move(*read);
    return true;
}

QtMessageHandler earlierHandler = nullptr;

// The offscreen platform wants a runtime folder it never uses; a script's
// stderr is for the command's own lines.
void withoutRuntimeFolderWarning(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
        return;
    if (earlierHandler)
        earlierHandler(type, context, message);
}

int runInGuiApplication(int& argc, char** argv, int (*body)(void*), void* context)
{
    // Text is laid out the same without a display (a script, a server, ssh):
    // no window is shown, so no display is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    earlierHandler = qInstallMessageHandler(withoutRuntimeFolderWarning);
    QGuiApplication app(argc, argv);
    return body(context);
}

bool writeReport(const report::CheckReportModel& model, const QString& path, QString& error)
{
    const Result<void> written = report::writePdf(model, path);
    if (!written)
        error = written.error();
    return bool(written);
}

const pdfpart::Functions kFunctions{pdfpart::kVersion, readPages, runInGuiApplication, writeReport};

}  // namespace

extern "C" Q_DECL_EXPORT const pdfpart::Functions* trovalis_pdf_part() { return &kFunctions; }
