// The .docx reader on arbitrary bytes, twice: as a whole package (the zip
// layer, the relationships, the limits) and, split at "\n--\n", as a main
// part with its numbering part (the XML walk, fields, revisions, lists).
// The marking walks both too, with marks placed by the input's first bytes.
// Never crash, hang or leak; a failed read explains itself; a marked copy
// reads back as the same text.
#include "documents/core/docxmarker.h"
#include "documents/core/docxreader.h"
#include "documents/core/listnumbers.h"
#include "documents/core/memoryzip.h"
#include "fuzzsupport.h"

namespace {

// Every character the analysis keeps, cut into pieces of a length the input gives.
void checkMarking(const QByteArray& package, const QString& text, const QByteArray& input,
                  const documents::DocxLimits& limits)
{
    QString analysed = text;
    analysed.removeIf([](QChar c) { return c == u' ' || c == u'\n' || c == u'\r' || c == QChar(0x3000); });
    const qsizetype step = input.isEmpty() ? 38 : 1 + uchar(input[0]) % 40;
    QList<documents::PaperMark> marks;
    for (qsizetype start = 0; start < analysed.size(); start += step) {
        const auto highlight = (start / step) % 2 ? documents::Highlight::Red : documents::Highlight::Yellow;
        if ((start / step) % 3 != 2)
            marks.append(
                {start, std::min(step, analysed.size() - start), highlight, {QStringLiteral("说明")}});
    }
    documents::MarkOptions options;
    options.limits = limits;
    const Result<documents::MarkedDocx> marked = documents::markDocx(package, analysed, marks, options);
    fuzz::check(marked.ok() || !marked.error().isEmpty(), "a failed marking explains itself");
    if (!marked.ok())
        return;
    fuzz::check(marked->marked + marked->unplaced == marks.size(), "every mark is placed or counted out");
    const Result<QString> readBack = documents::readDocxText(marked->package, limits);
    fuzz::check(readBack.ok() && *readBack == text, "the marked copy reads as the original");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    documents::DocxLimits limits;
    limits.maxPartSize = 1 << 20;  // a fuzz input unpacks to little; keep runs fast
    const Result<QString> package = documents::readDocxText(input, limits);
    fuzz::check(package.ok() || !package.error().isEmpty(), "a failed package read explains itself");
    if (package.ok())
        checkMarking(input, *package, input, limits);

    const auto [document, numbering] = fuzz::splitInTwo(input);
    const Result<QString> xml = documents::readWordprocessingXml(document, numbering);
    fuzz::check(xml.ok() || !xml.error().isEmpty(), "a failed XML read explains itself");
    if (xml.ok()) {
        fuzz::check(!xml->contains(QChar(0xFFFE)), "no noncharacter reaches the editor");
        const Result<QByteArray> wrapped =
            documents::zipOf({{QStringLiteral("word/document.xml"), document}});
        if (wrapped.ok()) {
            const Result<QString> text = documents::readDocxText(*wrapped, limits);
            if (text.ok())
                checkMarking(*wrapped, *text, input, limits);
        }
    }

    if (size >= 2)
        documents::formatListNumber(int(data[0]) * 1000 + int(data[1]) - 5000,
                                    QString::fromLatin1(input.mid(2, 24)));
    return 0;
}
