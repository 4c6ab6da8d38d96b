// The RTF reader on arbitrary bytes: never crash, hang or leak, and a
// successful read yields a document whose text is well-formed UTF-16.
#include "documents/core/rtfreader.h"
#include "fuzzsupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    documents::looksLikeRtf(input);
    const Result<documents::Document> result = documents::readRtf(input);
    fuzz::check(result.ok() || !result.error().isEmpty(), "a failed read explains itself");

    // The code-page decoder behind \'hh runs, chosen by the first byte.
    static const int codePages[] = {936, 1252, 1251, 932, 950, 949, 1200, 0, 65001, -1};
    if (size > 0)
        documents::decodeCodePage(input.mid(1), codePages[data[0] % std::size(codePages)]);
    documents::codePageOfCharset(size > 1 ? int(data[1]) : 0);
    return 0;
}
