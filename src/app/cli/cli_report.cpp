#include "app/cli/cli.h"

#include "analysis/savedcheck.h"
#include "report/core/checkreport.h"
#include "report/core/reportfile.h"

namespace cli {

// The check report of a saved check, as the report window writes it.
int report(const QStringList& args)
{
    if (wantsHelp(args,
                  QStringLiteral("usage: trovalis-cli report CHECK OUT\n"
                                 "Writes the check report of CHECK (a saved check, the file the program\n"
                                 "keeps to continue a check) to OUT as HTML.")))
        return kOk;
    const Result<QStringList> arguments =
        expectArguments(args, {QStringLiteral("CHECK"), QStringLiteral("OUT")});
    if (!arguments)
        return usageError(arguments.error());
    const QStringList& files = *arguments;
    const Result<SavedCheck> check = savedcheck::read(files[0]);
    if (!check)
        return inputError(QStringLiteral("%1 is not a usable saved check: %2").arg(files[0], check.error()));
    const Result<void> written = reportfile::write(report::htmlBytes(*check, check->paperText), files[1]);
    if (!written)
        return inputError(written.error());
    return kOk;
}

}  // namespace cli
