// The number-prefix reader that turns the server's version text into a number.
#include "fuzzsupport.h"
#include "update/core/numberprefix.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(fuzz::bytes(data, size));
    const double value = update::readNumberPrefix(text);
    fuzz::check(!std::isnan(value), "a version never reads as NaN");
    // Raw UTF-16 as well: surrogate halves and odd code units.
    const QStringView raw(reinterpret_cast<const char16_t*>(data), qsizetype(size / 2));
    update::readNumberPrefix(raw);
    return 0;
}
