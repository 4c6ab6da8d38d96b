// The .docx reader on arbitrary bytes, twice: as a whole package (the zip
// layer, the relationships, the limits) and, split at "\n--\n", as a main
// part with its numbering part (the XML walk, fields, revisions, lists).
// Never crash, hang or leak; a failed read explains itself.
#include "documents/core/docxreader.h"
#include "documents/core/listnumbers.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    documents::DocxLimits limits;
    limits.maxPartSize = 1 << 20;  // a fuzz input unpacks to little; keep runs fast
    const Result<QString> package = documents::readDocxText(input, limits);
    fuzz::check(package.ok() || !package.error().isEmpty(), "a failed package read explains itself");

    const auto [document, numbering] = fuzz::splitInTwo(input);
    const Result<QString> xml = documents::readWordprocessingXml(document, numbering);
    fuzz::check(xml.ok() || !xml.error().isEmpty(), "a failed XML read explains itself");
    if (xml.ok())
        fuzz::check(!xml->contains(QChar(0xFFFE)), "no noncharacter reaches the editor");

    if (size >= 2)
        documents::formatListNumber(int(data[0]) * 1000 + int(data[1]) - 5000,
                                    QString::fromLatin1(input.mid(2, 24)));
    return 0;
}
