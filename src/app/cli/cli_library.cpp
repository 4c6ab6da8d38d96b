#include "app/cli/cli.h"

#include "comparer/core/libraryfolder.h"

#include <QDir>

#include <algorithm>
#include <iterator>
#include <memory>

namespace cli {

namespace {

using namespace comparer::library;

// A reason on one line of its own field.
QString oneLine(QString text)
{
    for (QChar& c : text) {
        if (c == u'\t' || c == u'\r' || c == u'\n')
            c = u' ';
    }
    return text;
}

// Every document passes through buffers of a few hundred kilobytes, which
// glibc would map and unmap afresh each time, and the folded contents of 50 M
// characters fill 200 MB: one heap, kept, in large pages (cli.h). A thousand
// documents of 50,000 characters, manual pages: all levels 1.6 s became 1.4 s
// (system time 0.67 s to 0.43 s), whole sentences alone 0.67 s became 0.50 s.
constexpr qint64 kLibraryHeap = qint64(768) << 20;

QByteArray stretchLines(const std::vector<Stretch>& stretches, const QByteArray& prefix = {})
{
    QByteArray lines;
    for (const Stretch& s : stretches)
        lines += prefix + QByteArray::number(s.start) + '\t' + QByteArray::number(s.length) + '\n';
    return lines;
}

}  // namespace

int library(const QStringList& args)
{
    if (wantsHelp(args,
                  QStringLiteral(
                      "usage: trovalis-cli library [--run N] [--thesaurus FILE] PAPER FOLDER\n"
                      "Compares PAPER with every document below FOLDER (.txt, .rtf, .doc, .docx,\n"
                      ".wps, .odt, .pdf, .htm, .html; none whose name begins with \".\"), reading\n"
                      "each one, as the comparer's library comparison does. Prints the caption,\n"
                      "then source\\tPATH\\tCHARS\\tSHARE per source found, skipped\\tPATH\\treason per\n"
                      "document that could not be read, then the marked stretches of the paper\n"
                      "(start, a tab, length), sorted and joined. Then literal\\tSTART\\tLENGTH for\n"
                      "the runs of N (8 to 50, default 13) or more content characters the paper\n"
                      "shares with a source, joined; with --thesaurus (a ciku.txt, GBK),\n"
                      "reworded\\tSTART\\tLENGTH for the runs that match once words of one line\n"
                      "are taken as equal, outside the literal ones; and runs\\tPATH\\tLITERAL\\tREWORDED\n"
                      "per source with a run, sorted as the window's table. --run 0 looks for\n"
                      "whole sentences alone and prints the lines before the third caption line.")))
        return kOk;
    const Result<QStringList> arguments =
        expectArguments(args, {QStringLiteral("PAPER"), QStringLiteral("FOLDER")},
                        {QStringLiteral("--run"), QStringLiteral("--thesaurus")});
    if (!arguments)
        return usageError(arguments.error());
    RunSettings settings;
    if (hasFlag(args, QStringLiteral("--run"))) {
        bool ok = false;
        settings.runLength = flagValue(args, QStringLiteral("--run")).toInt(&ok);
        if (!ok || (settings.runLength != 0 && settings.runLength < matching::kMinRun)
            || settings.runLength > matching::kMaxRun)
            return usageError(QStringLiteral("--run takes a whole number from %1 to %2, or 0")
                                  .arg(matching::kMinRun)
                                  .arg(matching::kMaxRun));
    }
    if (hasFlag(args, QStringLiteral("--thesaurus"))) {
        const Result<QStringList> lines = readThesaurusLines(flagValue(args, QStringLiteral("--thesaurus")));
        if (!lines)
            return inputError(lines.error());
        settings.thesaurus = std::make_shared<const matching::Synonyms>(*lines);
    }
    const Result<QString> paper = readPaper(arguments->at(0));
    if (!paper)
        return inputError(paper.error());
    reserveHeap(kLibraryHeap);
    ReadProgress progress;
    const Result<ReadOutcome> read =
        readLibrary(arguments->at(1), Library{}, readDocumentText, progress, settings.runLength != 0);
    if (!read)
        return inputError(read.error());
    const Library& library = read->library;
    if (library.files.empty())
        return inputError(
            QStringLiteral("%1 holds no document to compare with (.txt, .rtf, .doc, .docx, .wps, "
                           ".odt, .pdf, .htm, .html)")
                .arg(QDir::toNativeSeparators(arguments->at(1))));
    // One check: every source walked once, no fingerprints sorted for it.
    const LibraryResult result = library.table(false).findIn(*paper, settings);
    print(libraryCaption(result));
    const std::vector<SourceRow> rows = sourceRows(result, library.paths());
    // The sources whose sentences were found, in the order they always had.
    std::vector<SourceRow> bySentence;
    std::copy_if(rows.begin(), rows.end(), std::back_inserter(bySentence),
                 [](const SourceRow& row) { return row.chars > 0; });
    std::sort(bySentence.begin(), bySentence.end(), [](const SourceRow& a, const SourceRow& b) {
        return a.chars != b.chars ? a.chars > b.chars : a.path < b.path;
    });
    for (const SourceRow& row : bySentence)
        print(QStringLiteral("source\t%1\t%2\t%3")
                  .arg(row.path, QString::number(row.chars), QString::number(row.share)));
    for (const SourceFile& file : library.files) {
        if (!file.skipped.isEmpty())
            print(QStringLiteral("skipped\t%1\t%2").arg(file.path, oneLine(file.skipped)));
    }
    printBytes(stretchLines(result.stretches));
    printBytes(stretchLines(result.literal, "literal\t"));
    printBytes(stretchLines(result.rewordedStretches, "reworded\t"));
    for (const SourceRow& row : rows) {
        if (row.literalChars > 0 || row.rewordedChars > 0)
            print(QStringLiteral("runs\t%1\t%2\t%3")
                      .arg(row.path, QString::number(row.literalChars), QString::number(row.rewordedChars)));
    }
    return kOk;
}

}  // namespace cli
