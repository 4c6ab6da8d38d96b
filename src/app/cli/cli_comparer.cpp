#include "app/cli/cli.h"

#include "documents/core/documentfiles.h"

#include <QFileInfo>

#include "comparer/core/localcompare.h"
#include "comparer/core/rewrite.h"
#include "comparer/core/thesauruspage.h"

#include <cstring>
#include <future>

#include <fcntl.h>
#include <unordered_map>

namespace cli {

namespace {

// "start, a tab, length" per mark, to stdout. A paper may have millions of
// marks: they go out through one small buffer, and the lines of a sentence
// that the reference holds more than once (its marks one list, shared) are
// made once and written again.
void printMarkLines(const comparer::CompareResult& result)
{
#ifdef F_SETPIPE_SZ
    // Into a pipe, megabytes of lines would wait for the reader every 64 KB.
    if (result.run.segments > 100000)
        fcntl(fileno(stdout), F_SETPIPE_SZ, 1 << 20);  // fails, harmlessly, on anything else
#endif
    constexpr qsizetype kLine = 2 * 20 + 2;  // two numbers of up to 20 digits
    QByteArray buffer(1 << 16, Qt::Uninitialized);
    qsizetype used = 0;
    const auto flush = [&] {
        std::fwrite(buffer.constData(), 1, static_cast<size_t>(used), stdout);
        used = 0;
    };
    const auto number = [](char* out, qsizetype n) {
        char digits[20];
        char* p = digits + sizeof digits;
        do
            *--p = char('0' + n % 10);
        while ((n /= 10) > 0);
        const qsizetype length = digits + sizeof digits - p;
        std::memcpy(out, p, static_cast<size_t>(length));
        return length;
    };
    // The lines of `count` marks of `length` characters from `starts` on.
    const auto lines = [&](const qsizetype* starts, qsizetype count, qsizetype length, char* out) {
        char* p = out;
        for (const qsizetype* start = starts; start < starts + count; ++start) {
            p += number(p, *start);
            *p++ = '\t';
            p += number(p, length);
            *p++ = '\n';
        }
        return p - out;
    };
    std::unordered_map<const qsizetype*, QByteArray> shared;
    for (const comparer::SentenceMarks& sentence : result.sentences) {
        if (sentence.starts.isEmpty())
            continue;
        if (!sentence.starts.isDetached()) {
            QByteArray& made = shared[sentence.starts.constData()];
            if (made.isEmpty()) {
                made.resize(sentence.starts.size() * kLine);
                made.truncate(
                    lines(sentence.starts.constData(), sentence.starts.size(), sentence.length, made.data()));
            }
            flush();
            std::fwrite(made.constData(), 1, static_cast<size_t>(made.size()), stdout);
            continue;
        }
        for (qsizetype from = 0; from < sentence.starts.size();) {
            const qsizetype count = std::min(sentence.starts.size() - from, (buffer.size() - used) / kLine);
            if (count == 0) {
                flush();
                continue;
            }
            used += lines(sentence.starts.constData() + from, count, sentence.length, buffer.data() + used);
            from += count;
        }
    }
    flush();
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
    // The texts as UTF-16, the reference's sentences and trie, the marks and
    // the tables that grow to hold them come to a few times the files' bytes
    // (only what is touched is taken).
    const qint64 bytes = QFileInfo((*files)[0]).size() + QFileInfo((*files)[1]).size();
    reserveHeap(6 * bytes + (16 << 20), 3 * bytes + (2 << 20));
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
    printMarkLines(result);
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
