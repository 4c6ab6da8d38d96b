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

int runInGuiApplication(int& argc, char** argv, int (*body)(void*), void* context)
{
    // A script or a server has no display: text is laid out all the same.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")
        && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
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
