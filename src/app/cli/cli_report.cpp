#include "app/cli/cli.h"

#include "analysis/savedcheck.h"
#include "report/core/checkreport.h"
#include "report/core/reportfile.h"
#include "report/core/reportmodel.h"

namespace cli {
namespace {

const QString kFigures = QStringLiteral("--figures");

int printFigures(const SavedCheck& check)
{
    for (const QString& line : report::figureLines(report::contentOf(check, check.paperText)))
        print(line);
    return kOk;
}

}  // namespace

// The check report of a saved check, as the report window writes it, or its
// figures for scripts.
int report(const QStringList& args)
{
    if (wantsHelp(args,
                  QStringLiteral("usage: trovalis-cli report CHECK OUT\n"
                                 "       trovalis-cli report --figures CHECK\n"
                                 "Writes the check report of CHECK (a saved check, the file the program\n"
                                 "keeps to continue a check) to OUT: as PDF when OUT ends in \".pdf\" (any\n"
                                 "case), otherwise as HTML. With --figures, prints the\n"
                                 "report's figures instead, one a line, fields separated by tabs:\n"
                                 "overall, without, label2 and largest, then a source line per source\n"
                                 "(title, pieces, characters, share), a chapter line per chapter\n"
                                 "(title, characters, pieces, checked pieces, figure) and a run line\n"
                                 "per run of 13 characters or more that a piece from 20 % shares with\n"
                                 "its results' summaries (piece number, start and length in the piece).")))
        return kOk;
    const bool figures = hasFlag(args, kFigures);
    const QStringList names = figures ? QStringList{QStringLiteral("CHECK")}
                                      : QStringList{QStringLiteral("CHECK"), QStringLiteral("OUT")};
    const Result<QStringList> arguments = expectArguments(args, names, {}, {kFigures});
    if (!arguments)
        return usageError(arguments.error());
    const QStringList& files = *arguments;
    const Result<SavedCheck> check = readCheck(files[0]);
    if (!check)
        return inputError(check.error());
    if (figures)
        return printFigures(*check);
    const Result<void> written = reportfile::isPdfName(files[1])
        ? writeReportPdf(report::modelOf(*check, check->paperText), files[1])  // in the PDF part
        : reportfile::write(report::htmlBytes(*check, check->paperText), files[1]);
    if (!written)
        return inputError(written.error());
    return kOk;
}

}  // namespace cli
