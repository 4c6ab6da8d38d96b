// trovalis-cli: runs the program's offline work on files.

#include "app/cli/cli.h"

#include "platform/core/endpoints.h"

#include <QCoreApplication>

#include <map>

namespace {

const char* kHelp = "usage: trovalis-cli COMMAND [ARGS]\n"
                    "       trovalis-cli --version\n"
                    "\n"
                    "commands:\n"
                    "  segment PAPER                          cut a paper into sentences\n"
                    "  recut PIECES PAPER                     cut an edited paper, keeping earlier pieces\n"
                    "  precheck CHECK PAPER                   pre-check a reworked paper offline\n"
                    "  query [--engine baidu|wenku|zhiwang] SENTENCE\n"
                    "                                         the query and URL for one sentence\n"
                    "  score SENTENCE PAGE                    score a result page\n"
                    "  stats TITLES                           rank result titles by occurrence\n"
                    "  compare PAPER REFERENCE [--cumulative] compare a paper with a reference text\n"
                    "  rewrite THESAURUS PAPER [--seed N]     rewrite a paper from a thesaurus\n"
                    "  thesaurus-page BODY OUT                turn a thesaurus page into a thesaurus file\n"
                    "  manifest FILE                          read an update manifest\n"
                    "  unzip ARCHIVE DEST                     unpack an archive as an update does\n"
                    "  verify FILE [--key PUBLICKEY]          check FILE.minisig as the update client does\n"
                    "  doc2text FILE                          open a document as the File menu does\n"
                    "  library PAPER FOLDER                   compare a paper with a folder of documents\n"
                    "  verification URL PAGE                  is a saved page a verification page?\n"
                    "  report CHECK OUT                       write the check report of a saved check\n"
                    "  mark CHECK DOCX OUT                    write DOCX marked from a saved check\n"
                    "  report --figures CHECK                 print the check report's figures\n"
                    "\n"
                    "Each command takes --help. After --, every argument is an argument, also one\n"
                    "that begins with \"-\": trovalis-cli query -- \"--abc\".\n"
                    "--version prints the program's version.";

const std::map<QString, cli::Command>& commands()
{
    static const std::map<QString, cli::Command> table{
        {QStringLiteral("segment"), cli::segment},
        {QStringLiteral("recut"), cli::recut},
        {QStringLiteral("precheck"), cli::precheck},
        {QStringLiteral("query"), cli::query},
        {QStringLiteral("score"), cli::score},
        {QStringLiteral("stats"), cli::stats},
        {QStringLiteral("compare"), cli::compare},
        {QStringLiteral("rewrite"), cli::rewrite},
        {QStringLiteral("thesaurus-page"), cli::thesaurusPage},
        {QStringLiteral("manifest"), cli::manifest},
        {QStringLiteral("unzip"), cli::unzip},
        {QStringLiteral("verify"), cli::verify},
        {QStringLiteral("doc2text"), cli::doc2text},
        {QStringLiteral("library"), cli::library},
        {QStringLiteral("verification"), cli::verificationPage},
        {QStringLiteral("report"), cli::report},
        {QStringLiteral("mark"), cli::mark},
    };
    return table;
}

// Commands that need no application object: no event loop, no helper
// process, no folder of the program's own. They start without one, which
// saves a fifth of a start (3 ms of 15 on the development machine).
bool needsNoApplication(const QStringList& args)
{
    static const QStringList kPlain{QStringLiteral("--help"),
                                    QStringLiteral("--version"),
                                    QStringLiteral("segment"),
                                    QStringLiteral("recut"),
                                    QStringLiteral("precheck"),
                                    QStringLiteral("query"),
                                    QStringLiteral("score"),
                                    QStringLiteral("stats"),
                                    QStringLiteral("compare"),
                                    QStringLiteral("rewrite"),
                                    QStringLiteral("thesaurus-page"),
                                    QStringLiteral("manifest"),
                                    QStringLiteral("unzip"),
                                    QStringLiteral("verify"),
                                    QStringLiteral("verification"),
                                    QStringLiteral("report"),
                                    QStringLiteral("mark")};
    return args.isEmpty() || kPlain.contains(args.first());
}

// Runs the command line `*arguments` (without the program's name).
int run(void* arguments)
{
    QStringList args = *static_cast<const QStringList*>(arguments);
    if (args.isEmpty() || args.first() == QLatin1String("--help")) {
        cli::print(QString::fromUtf8(kHelp));
        return args.isEmpty() ? cli::kUsage : cli::kOk;
    }
    if (args.first() == QLatin1String("--version")) {
        cli::print(version::caption());
        return cli::kOk;
    }
    const QString name = args.takeFirst();
    const auto it = commands().find(name);
    if (it == commands().end()) {
        cli::printErr(QStringLiteral("trovalis-cli: unknown command %1 (see --help)").arg(name));
        return cli::kUsage;
    }
    cli::setCommandName(name);
    return it->second(args);
}

}  // namespace

int main(int argc, char* argv[])
{
    // Writing a PDF lays out text, which takes Qt Gui: the PDF part makes the
    // application then. Every other command starts with QtCore alone.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    cli::usePdfPart();
    if (cli::writesPdf(args))
        return cli::runInGuiApplication(argc, argv, run, &args);
    if (needsNoApplication(args))
        return run(&args);
    QCoreApplication app(argc, argv);
    return run(&args);
}
