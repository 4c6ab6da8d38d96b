// The PDF part (app/pdfpart/pdfpart.h), loaded from the program's folder the
// first time a PDF is read or written.

#include "app/cli/cli.h"
#include "app/pdfpart/pdfpart.h"

#include "documents/core/documentfiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>

namespace cli {

namespace {

const QString kReport = QStringLiteral("report");

// The folder of the running program, also before an application object exists.
QString programFolder()
{
#ifdef Q_OS_LINUX
    const QString running = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    if (!running.isEmpty())
        return QFileInfo(running).absolutePath();
#endif
    return QCoreApplication::applicationDirPath();
}

struct Part {
    const pdfpart::Functions* functions = nullptr;
    QString error;  // why there is none
};

// Loaded once and kept to the end: the module brings Qt Gui, which is never unloaded.
const Part& part()
{
    static const Part loaded = []() -> Part {
        const QString path = programFolder() + u'/' + QStringLiteral(TROVALIS_PDF_PART);
        QLibrary library(path);
        if (!library.load())
            return {nullptr, QStringLiteral("cannot load the PDF part: %1").arg(library.errorString())};
        const auto entry = reinterpret_cast<pdfpart::EntryPoint>(library.resolve(pdfpart::kEntryPoint));
        const pdfpart::Functions* functions = entry ? entry() : nullptr;
        if (!functions || functions->version != pdfpart::kVersion)
            return {nullptr,
                    QStringLiteral("%1 is not the PDF part of this build of trovalis-cli").arg(path)};
        return {functions, {}};
    }();
    return loaded;
}

Result<QStringList> readPdfPages(const QString& path)
{
    const Part& loaded = part();
    if (!loaded.functions)
        return failure(loaded.error);
    QStringList pages;
    QString error;
    if (!loaded.functions->readPages(path, pages, error))
        return failure(error);
    return pages;
}

}  // namespace

void usePdfPart() { documents::setPdfPageReader(readPdfPages); }

bool writesPdf(const QStringList& args)
{
    if (args.value(0) != kReport || hasFlag(args, QStringLiteral("--help")))
        return false;
    const Result<QStringList> words = positional(args.mid(1), {}, {QStringLiteral("--figures")});
    return words && words->size() == 2 && !hasFlag(args, QStringLiteral("--figures"))
        && words->at(1).endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
}

int runInGuiApplication(int& argc, char** argv, int (*body)(void* context), void* context)
{
    const Part& loaded = part();
    if (!loaded.functions) {
        printErr(QStringLiteral("trovalis-cli %1: %2").arg(kReport, loaded.error));
        return kBadInput;
    }
    return loaded.functions->runInGuiApplication(argc, argv, body, context);
}

Result<void> writeReportPdf(const report::CheckReportModel& model, const QString& path)
{
    const Part& loaded = part();
    if (!loaded.functions)
        return failure(loaded.error);
    QString error;
    if (!loaded.functions->writeReport(model, path, error))
        return failure(error);
    return {};
}

}  // namespace cli
