#include "app/cli/cli.h"

#include "analysis/savedcheck.h"
#include "report/core/markedpaper.h"
#include "report/core/reportfile.h"

namespace cli {

// The student's .docx marked from a kept check, as the report menu writes it.
int mark(const QStringList& args)
{
    if (wantsHelp(
            args,
            QStringLiteral("usage: trovalis-cli mark CHECK DOCX OUT\n"
                           "Writes to OUT a copy of DOCX with every piece of CHECK (a saved check) from\n"
                           "20 % highlighted, red from 50 %, and its sources in a comment. Fails when\n"
                           "DOCX's text is not the checked paper.")))
        return kOk;
    const Result<QStringList> arguments =
        expectArguments(args, {QStringLiteral("CHECK"), QStringLiteral("DOCX"), QStringLiteral("OUT")});
    if (!arguments)
        return usageError(arguments.error());
    const QStringList& files = *arguments;
    const Result<SavedCheck> check = readCheck(files[0]);
    if (!check)
        return inputError(check.error());
    const Result<QByteArray> docx = readBytes(files[1]);
    if (!docx)
        return inputError(docx.error());
    const Result<documents::MarkedDocx> marked = markedpaper::markDocx(*docx, *check);
    if (!marked)
        return inputError(QStringLiteral("%1: %2").arg(files[1], marked.error()));
    const Result<void> written = reportfile::write(marked->package, files[2]);
    if (!written)
        return inputError(written.error());
    return kOk;
}

}  // namespace cli
