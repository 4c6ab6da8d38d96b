#include "platform/core/numberformat.h"

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdio>

namespace numfmt {

QString format(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    if (value == 0)
        return QStringLiteral("0");
    // Round to 15 significant digits first, then print without an exponent.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", value);
    const double rounded = std::strtod(buf, nullptr);
    const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(rounded))));
    const int decimals = std::clamp(14 - exponent, 0, 340);
    QString s = QString::number(rounded, 'f', decimals);
    if (s.contains(QLatin1Char('.'))) {
        while (s.endsWith(QLatin1Char('0')))
            s.chop(1);
        if (s.endsWith(QLatin1Char('.')))
            s.chop(1);
    }
    if (s == QLatin1String("-0"))
        s = QStringLiteral("0");
    return s;
}

QString format(qint64 value) { return QString::number(value); }

double roundHalfEven(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    // Work on the decimal text of the scaled value, so that 0.125 * 100 is an
    // exact tie rather than 12.499999...
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.12f", value * scale);
    const double scaled = std::strtod(buf, nullptr);
    const int old = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(scaled);
    std::fesetround(old);
    return r / scale;
}

}  // namespace numfmt
