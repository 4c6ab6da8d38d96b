#include "app/cli/cli.h"

#include "mainwindow/documents/documentfiles.h"
#include "mainwindow/pdf/pdfreader.h"

#include "comparer/core/localcompare.h"
#include "comparer/core/rewrite.h"
#include "comparer/core/thesauruspage.h"

#include <future>

namespace cli {

namespace {

// "start, a tab, length" per mark. A paper may have hundreds of thousands of
// marks: the lines are written straight into one buffer.
QByteArray markLines(const comparer::CompareResult& result)
{
    QByteArray lines;
    char digits[24];
    const auto append = [&](qsizetype n) {
        char* end = digits + sizeof digits;
        char* p = end;
        do
            *--p = char('0' + n % 10);
        while ((n /= 10) > 0);
        lines.append(p, end - p);
    };
    for (const comparer::SentenceMarks& sentence : result.sentences) {
        for (const qsizetype start : sentence.starts) {
            append(start);
            lines.append('\t');
            append(sentence.length);
            lines.append('\n');
        }
    }
    return lines;
}

}  // namespace

int compare(const QStringList& args)
{
    if (wantsHelp(args,
                  QStringLiteral("usage: trovalis-cli compare PAPER REFERENCE [--cumulative]\n"
                                 "One compare-and-mark run in a fresh comparer: prints the report, then\n"
                                 "one line per marked occurrence (start, a tab, length).")))
        return kOk;
    const QStringList files = expectArguments(args, {QStringLiteral("PAPER"), QStringLiteral("REFERENCE")},
                                              {}, {QStringLiteral("--cumulative")});
    // The reference is read and made ready on a second thread while the paper is read.
    auto preparing = std::async(std::launch::async, [path = files[1]] {
        const QString reference = readPaper(path);
        return std::pair{reference.size(), comparer::PreparedReference(reference)};
    });
    const QString paper = readPaper(files[0]);
    const auto [referenceLength, reference] = preparing.get();
    // In a fresh comparer the running totals are this run's counts, ticked or not.
    const comparer::CompareResult result = reference.findIn(paper);
    const QString report =
        comparer::compareReport(paper.size(), referenceLength, result.run, result.run.chars);
    if (!report.isEmpty())
        print(report);
    printBytes(markLines(result));
    return kOk;
}

int rewrite(const QStringList& args)
{
    if (wantsHelp(args,
                  QStringLiteral("usage: trovalis-cli rewrite THESAURUS PAPER [--seed N]\n"
                                 "Rewrites PAPER with THESAURUS (GBK, as ciku.txt) and prints the result;\n"
                                 "the found count goes to stderr. --seed makes the draws repeatable.")))
        return kOk;
    const QStringList files = expectArguments(args, {QStringLiteral("THESAURUS"), QStringLiteral("PAPER")},
                                              {QStringLiteral("--seed")});
    comparer::RandomSource random = comparer::clockRandom();
    if (hasFlag(args, QStringLiteral("--seed"))) {
        bool ok = false;
        const quint64 seed = flagValue(args, QStringLiteral("--seed")).toULongLong(&ok);
        if (!ok)
            throw UsageError("--seed needs a non-negative integer");
        random = comparer::seededRandom(seed);
    }
    const Result<comparer::Thesaurus> thesaurus = comparer::readThesaurus(files[0]);
    if (!thesaurus)
        throw InputError(QStringLiteral("cannot read %1: %2").arg(files[0], thesaurus.error()).toStdString());
    if (thesaurus->state == comparer::Thesaurus::State::Missing)
        throw InputError(QStringLiteral("thesaurus not found: %1").arg(files[0]).toStdString());
    if (thesaurus->state == comparer::Thesaurus::State::Damaged)
        throw InputError(QStringLiteral("%1 is not valid GBK text").arg(files[0]).toStdString());
    const QStringList& lines = thesaurus->lines;
    const comparer::RewriteResult result = comparer::rewriteText(readPaper(files[1]), lines, random);
    printRaw(result.text);
    printErr(QStringLiteral("found %1").arg(result.found));
    return kOk;
}

int thesaurusPage(const QStringList& args)
{
    if (wantsHelp(args,
                  QStringLiteral("usage: trovalis-cli thesaurus-page BODY OUT\n"
                                 "Turns a thesaurus page's body markup (UTF-8) into the thesaurus file OUT\n"
                                 "and prints the caption the download ends with. OUT is left as it was\n"
                                 "when the page carries no thesaurus or the file cannot be written.")))
        return kOk;
    const QStringList files = expectArguments(args, {QStringLiteral("BODY"), QStringLiteral("OUT")});
    const auto records = comparer::thesaurusRecords(readUtf8File(files[0]));
    if (!records) {
        print(QStringLiteral(u"网络连接失败，词库下载不成功！"));
        printErr(QStringLiteral("%1 %2").arg(files[0], records.error()));
        return kBadInput;
    }
    if (const Result<void> written = comparer::writeThesaurusFile(files[1], *records); !written)
        throw InputError(QStringLiteral("cannot write %1: %2").arg(files[1], written.error()).toStdString());
    print(QStringLiteral(u"词库下载成功！"));
    return kOk;
}

int doc2text(const QStringList& args)
{
    if (wantsHelp(args,
                  QStringLiteral("usage: trovalis-cli doc2text FILE\n"
                                 "Opens FILE as the File menu's Open does (.doc through the converter,\n"
                                 ".docx and .pdf by the program's readers, .odt and .wps through\n"
                                 "LibreOffice, RTF with its formatting, other files as decoded text) and\n"
                                 "prints the plain text that lands in the editor, line breaks as CR LF.")))
        return kOk;
    const QStringList files = expectArguments(args, {QStringLiteral("FILE")});
    pdf::install();
    const Result<documents::LoadedDocument> loaded = documents::loadDocumentFile(files.first());
    if (!loaded)
        throw InputError(loaded.error().toStdString());
    if (!loaded->warning.isEmpty())
        throw InputError(loaded->warning.toStdString());
    print(loaded->document.plainText(QStringLiteral("\r\n")));
    return kOk;
}

}  // namespace cli
