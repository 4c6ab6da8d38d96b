#include "app/cli/cli.h"

#include "documents/core/documentfiles.h"

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
    const Result<QStringList> files = expectArguments(
        args, {QStringLiteral("PAPER"), QStringLiteral("REFERENCE")}, {}, {QStringLiteral("--cumulative")});
    if (!files)
        return usageError(files.error());
    // The reference is read and made ready on a second thread while the paper is read.
    using Prepared = std::pair<qsizetype, comparer::PreparedReference>;
    auto preparing = std::async(std::launch::async, [path = (*files)[1]]() -> Result<Prepared> {
        Result<QString> reference = readPaper(path);
        if (!reference)
            return failure(reference.error());
        const qsizetype length = reference->size();
        return Prepared{length, comparer::PreparedReference(std::move(*reference))};
    });
    const Result<QString> read = readPaper((*files)[0]);
    if (!read)
        return inputError(read.error());  // the paper's problem first, as it is read first
    const Result<Prepared> prepared = preparing.get();
    if (!prepared)
        return inputError(prepared.error());
    const QString& paper = *read;
    const auto& [referenceLength, reference] = *prepared;
    // In a fresh comparer the running totals are this run's counts, ticked or not.
    const comparer::CompareResult result = reference.findIn(paper);
    const QString report =
        comparer::compareReport(paper.size(), referenceLength, result.run, result.run.chars);
    if (!report.isEmpty())
        print(report);
    printBytes(markLines(result));
    return kOk;
}

Result<QStringList> readThesaurusLines(const QString& path)
{
    const Result<comparer::Thesaurus> thesaurus = comparer::readThesaurus(path);
    if (!thesaurus)
        return failure(QStringLiteral("cannot read %1: %2").arg(path, thesaurus.error()));
    if (thesaurus->state == comparer::Thesaurus::State::Missing)
        return failure(QStringLiteral("thesaurus not found: %1").arg(path));
    if (thesaurus->state == comparer::Thesaurus::State::Damaged)
        return failure(QStringLiteral("%1 is not valid GBK text").arg(path));
    return thesaurus->lines;
}

int rewrite(const QStringList& args)
{
    if (wantsHelp(args,
                  QStringLiteral("usage: trovalis-cli rewrite THESAURUS PAPER [--seed N]\n"
                                 "Rewrites PAPER with THESAURUS (GBK, as ciku.txt) and prints the result;\n"
                                 "the found count goes to stderr. --seed makes the draws repeatable.")))
        return kOk;
    const Result<QStringList> arguments = expectArguments(
        args, {QStringLiteral("THESAURUS"), QStringLiteral("PAPER")}, {QStringLiteral("--seed")});
    if (!arguments)
        return usageError(arguments.error());
    const QStringList& files = *arguments;
    comparer::RandomSource random = comparer::clockRandom();
    if (hasFlag(args, QStringLiteral("--seed"))) {
        bool ok = false;
        const quint64 seed = flagValue(args, QStringLiteral("--seed")).toULongLong(&ok);
        if (!ok)
            return usageError(QStringLiteral("--seed needs a non-negative integer"));
        random = comparer::seededRandom(seed);
    }
    const Result<QStringList> thesaurus = readThesaurusLines(files[0]);
    if (!thesaurus)
        return inputError(thesaurus.error());
    const Result<QString> paper = readPaper(files[1]);
    if (!paper)
        return inputError(paper.error());
    const comparer::RewriteResult result = comparer::rewriteText(*paper, *thesaurus, random);
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
    const Result<QStringList> arguments =
        expectArguments(args, {QStringLiteral("BODY"), QStringLiteral("OUT")});
    if (!arguments)
        return usageError(arguments.error());
    const QStringList& files = *arguments;
    const Result<QString> body = readUtf8File(files[0]);
    if (!body)
        return inputError(body.error());
    const Result<QStringList> records = comparer::thesaurusRecords(*body);
    if (!records) {
        print(QStringLiteral(u"网络连接失败，词库下载不成功！"));
        printErr(QStringLiteral("%1 %2").arg(files[0], records.error()));
        return kBadInput;
    }
    if (const Result<void> written = comparer::writeThesaurusFile(files[1], *records); !written)
        return inputError(QStringLiteral("cannot write %1: %2").arg(files[1], written.error()));
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
    const Result<QStringList> files = expectArguments(args, {QStringLiteral("FILE")});
    if (!files)
        return usageError(files.error());
    const Result<documents::LoadedDocument> loaded = documents::loadDocumentFile(files->first());
    if (!loaded)
        return inputError(loaded.error());
    if (!loaded->warning.isEmpty())
        return inputError(loaded->warning);
    print(loaded->document.plainText(QStringLiteral("\r\n")));
    return kOk;
}

}  // namespace cli
