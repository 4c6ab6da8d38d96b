#include "app/cli/cli.h"

#include "analysis/keptcut.h"
#include "analysis/precheck.h"
#include "analysis/query.h"
#include "analysis/savedcheck.h"
#include "analysis/scoring.h"
#include "analysis/segmentation.h"
#include "analysis/sitestats.h"
#include "analysis/verification.h"

#include <QUrl>

#include <map>

namespace cli {

// The analyse command on a paper: Label1's summary, then List1's items.
int segment(const QStringList& args)
{
    if (wantsHelp(args,
                  QStringLiteral("usage: trovalis-cli segment PAPER\n"
                                 "Cuts PAPER (UTF-8) into sentences as the analyse command does;\n"
                                 "prints the summary line, then one list item per line.")))
        return kOk;
    const Result<QStringList> files = expectArguments(args, {QStringLiteral("PAPER")});
    if (!files)
        return usageError(files.error());
    const Result<QString> paper = readPaper(files->first());
    if (!paper)
        return inputError(paper.error());
    const segmentation::Analysis analysis = segmentation::analyse(*paper);
    print(analysis.summary);
    for (const QString& item : analysis.listItems)
        print(item);
    return kOk;
}

namespace {

// The lines of a file, LF or CR LF, each exactly as written. An empty file
// holds none; the line break that ends the last line adds none.
QStringList linesOf(const QString& text)
{
    QStringList lines = text.split(u'\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    for (QString& line : lines)
        if (line.endsWith(u'\r'))
            line.chop(1);
    return lines;
}

}  // namespace

// The kept cut of an edited paper: the analysis's caption for the new list,
// then each piece, kept from PIECES or new.
int recut(const QStringList& args)
{
    if (wantsHelp(args,
                  QStringLiteral("usage: trovalis-cli recut PIECES PAPER\n"
                                 "PIECES (UTF-8) holds the earlier pieces, one a line. Cuts PAPER keeping\n"
                                 "the earlier pieces that stand unchanged in it; prints the summary line,\n"
                                 "then one line per piece: kept or new, a tab, the piece.")))
        return kOk;
    const Result<QStringList> files =
        expectArguments(args, {QStringLiteral("PIECES"), QStringLiteral("PAPER")});
    if (!files)
        return usageError(files.error());
    const Result<QString> pieces = readUtf8File(files->at(0));
    if (!pieces)
        return inputError(pieces.error());
    const Result<QString> paper = readPaper(files->at(1));
    if (!paper)
        return inputError(paper.error());
    const segmentation::Analysis analysis = segmentation::analyse(*paper);
    const keptcut::KeptCut cut = keptcut::recut(linesOf(*pieces), analysis.analysedText);
    print(segmentation::summary(analysis.doubleByteCount, cut.pieces.size()));
    for (qsizetype i = 0; i < cut.pieces.size(); ++i)
        print((cut.earlierIndex[i] >= 0 ? QStringLiteral("kept\t") : QStringLiteral("new\t"))
              + cut.pieces[i]);
    return kOk;
}

// The pre-check of a reworked paper: its kept cut against a kept check's
// pieces, as the window makes it, each new piece compared offline with the
// summaries of the results of the earlier pieces it replaces.
int precheck(const QStringList& args)
{
    if (wantsHelp(args,
                  QStringLiteral("usage: trovalis-cli precheck CHECK PAPER\n"
                                 "Cuts PAPER keeping the pieces of CHECK (a saved check) that stand\n"
                                 "unchanged in it and compares each new piece with the summaries of the\n"
                                 "results of the earlier pieces it replaces. Prints the summary line, then\n"
                                 "one line per piece: kept, new or still (a run of 13 characters or more\n"
                                 "still shared), a tab, the piece; for still, a tab and the longest run.")))
        return kOk;
    const Result<QStringList> files =
        expectArguments(args, {QStringLiteral("CHECK"), QStringLiteral("PAPER")});
    if (!files)
        return usageError(files.error());
    const Result<SavedCheck> check = readCheck(files->at(0));
    if (!check)
        return inputError(check.error());
    const Result<QString> paper = readPaper(files->at(1));
    if (!paper)
        return inputError(paper.error());
    const segmentation::Analysis analysis = segmentation::analyse(*paper);
    const keptcut::KeptCut cut = keptcut::recut(check->sentences, analysis.analysedText);
    const precheck::PreCheck found = precheck::run(cut, *check);
    if (!check->summariesKept)
        printErr(QStringLiteral("%1 was kept without the results' summaries: nothing to compare with")
                     .arg(files->at(0)));
    print(segmentation::summary(analysis.doubleByteCount, cut.pieces.size()));
    for (qsizetype i = 0; i < cut.pieces.size(); ++i) {
        const QString& piece = cut.pieces[i];
        if (cut.earlierIndex[i] >= 0)
            print(QStringLiteral("kept\t") + piece);
        else if (const auto& finding = found.pieces[i])
            print(QStringLiteral("still\t") + piece + u'\t' + precheck::longestRun(piece, *finding));
        else
            print(QStringLiteral("new\t") + piece);
    }
    return kOk;
}

// The query and URL that Compare would send for one sentence.
int query(const QStringList& args)
{
    if (wantsHelp(args,
                  QStringLiteral("usage: trovalis-cli query [--engine baidu|wenku|zhiwang] SENTENCE\n"
                                 "Prints the query built from SENTENCE and its URL for the engine\n"
                                 "(default baidu), or the single line \"skipped\".")))
        return kOk;
    const Result<QStringList> words =
        expectArguments(args, {QStringLiteral("SENTENCE")}, {QStringLiteral("--engine")});
    if (!words)
        return usageError(words.error());
    const QString engineName = flagValue(args, QStringLiteral("--engine"));
    static const std::map<QString, SearchEngine> kEngines{
        {QString(), SearchEngine::Baidu},
        {QStringLiteral("baidu"), SearchEngine::Baidu},
        {QStringLiteral("wenku"), SearchEngine::Wenku},
        {QStringLiteral("zhiwang"), SearchEngine::Zhiwang},
    };
    const auto engine = kEngines.find(engineName);
    if (engine == kEngines.end())
        return usageError(QStringLiteral("--engine takes baidu, wenku or zhiwang"));
    const QString q = buildQuery(words->first());
    if (isSkippedQuery(q)) {
        print(QStringLiteral("skipped"));
        return kOk;
    }
    print(q);
    print(*searchUrl(engine->second, q, Endpoints::builtIn()));
    return kOk;
}

// Scores a result page as the first page after an analysis of one sentence.
int score(const QStringList& args)
{
    if (wantsHelp(args,
                  QStringLiteral("usage: trovalis-cli score SENTENCE PAGE\n"
                                 "Scores PAGE (UTF-8 body markup of a result page) as the first page\n"
                                 "for SENTENCE; prints Label2, then each stored result: k, tab, title.")))
        return kOk;
    const Result<QStringList> arguments =
        expectArguments(args, {QStringLiteral("SENTENCE"), QStringLiteral("PAGE")});
    if (!arguments)
        return usageError(arguments.error());
    const QStringList& words = *arguments;
    const Result<QString> read = readUtf8File(words[1]);
    if (!read)
        return inputError(read.error());
    const QString& page = *read;

    ComparisonSession session;
    segmentation::Analysis analysis;
    analysis.sentences = QStringList{words[0]};
    segmentation::resetSession(session, analysis);
    session.nextIndex = 1;  // Compare has sent sentence 0
    // The markup stands in for the body text: it only tells one page from the last.
    const auto labels = scoring::pageArrived(session, page, page);
    print(labels && labels->label2 ? *labels->label2 : QString());
    for (int k = 0; labels && k < labels->storedResults; ++k)
        print(QString::number(k) + u'\t' + session.resultTitles[k]);
    return kOk;
}

// The similar-website ranking over a file of titles, one slot per line.
int stats(const QStringList& args)
{
    if (wantsHelp(args,
                  QStringLiteral("usage: trovalis-cli stats TITLES\n"
                                 "TITLES (UTF-8) holds one result title per slot, 10 lines per sentence;\n"
                                 "prints each row of the statistics table: title, tab, count.")))
        return kOk;
    const Result<QStringList> words = expectArguments(args, {QStringLiteral("TITLES")});
    if (!words)
        return usageError(words.error());
    const Result<QString> titles = readUtf8File(words->first());
    if (!titles)
        return inputError(titles.error());
    const QStringList lines = linesOf(*titles);

    ComparisonSession session;
    segmentation::Analysis analysis;
    analysis.sentences = QStringList((lines.size() + 9) / 10);
    segmentation::resetSession(session, analysis);
    for (qsizetype i = 0; i < lines.size(); ++i)
        session.resultTitles[i] = session.resultBlocks[i] = lines[i];
    const int siteTotal = sitestats::rebuild(session);
    for (const sitestats::Row& row : sitestats::shownRows(session, siteTotal))
        print(row.title + u'\t' + (row.count ? QString::number(*row.count) : QString()));
    return kOk;
}

// Whether a saved page, loaded from URL, is a search service's verification
// page, by the markers the window uses.
int verificationPage(const QStringList& args)
{
    if (wantsHelp(args,
                  QStringLiteral("usage: trovalis-cli verification URL PAGE\n"
                                 "Tells whether PAGE (UTF-8 HTML of a page, title included), loaded\n"
                                 "from URL, is a search service's verification page; prints\n"
                                 "\"verification\" or \"ordinary\".")))
        return kOk;
    const Result<QStringList> words = expectArguments(args, {QStringLiteral("URL"), QStringLiteral("PAGE")});
    if (!words)
        return usageError(words.error());
    const QUrl url((*words)[0]);
    if (!url.isValid())
        return usageError(QStringLiteral("URL is not a valid address"));
    const Result<QString> page = readUtf8File((*words)[1]);
    if (!page)
        return inputError(page.error());
    const verification::PageParts parts = verification::partsOf(*page);
    print(verification::isVerificationPage(url, parts.title, parts.text) ? QStringLiteral("verification")
                                                                         : QStringLiteral("ordinary"));
    return kOk;
}

}  // namespace cli
