// Open's text decoding: any bytes decode without crashing, and text that
// decodes without loss survives the round trip through its own encoding.
#include "documents/core/textdecoding.h"
#include "fuzzsupport.h"
#include "platform/core/gbk.h"

#include <QStringDecoder>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    const documents::DecodedText decoded = documents::decodeText(input);
    if (decoded.encoding == QLatin1String("GBK") && !decoded.lossy) {
        fuzz::check(gbk::encode(decoded.text) == input, "lossless GBK decoding round-trips");
    }
    bool ok = false;
    const QString viaGbk = gbk::decode(input, &ok);
    if (ok)
        fuzz::check(gbk::encode(viaGbk) == input, "valid GBK round-trips");
    return 0;
}
