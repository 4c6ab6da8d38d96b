#include "update/core/numberprefix.h"

#include <QByteArray>

#include <cmath>

namespace update {

namespace {

bool isIgnored(QChar c) { return c == u' ' || c == u'\t' || c == u'\n'; }

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Collects the characters that take part in the number, skipping the
// ignored ones, into a plain "C" locale literal.
QByteArray numberLiteral(QStringView text)
{
    QByteArray literal;
    bool haveDigit = false, havePoint = false, haveExponent = false;
    bool expectExponentSign = false;
    qsizetype mantissaEnd = 0;  // literal length before an unfinished exponent
    for (QChar c : text) {
        if (isIgnored(c))
            continue;
        if (literal.isEmpty() && (c == u'+' || c == u'-')) {
            literal += char(c.unicode());
            continue;
        }
        if (expectExponentSign && (c == u'+' || c == u'-')) {
            literal += char(c.unicode());
            expectExponentSign = false;
            continue;
        }
        expectExponentSign = false;
        if (isDigit(c)) {
            literal += char(c.unicode());
            haveDigit = true;
            if (haveExponent)
                mantissaEnd = literal.size();
            continue;
        }
        if (c == u'.' && !havePoint && !haveExponent) {
            literal += '.';
            havePoint = true;
            continue;
        }
        if ((c == u'e' || c == u'E' || c == u'd' || c == u'D') && haveDigit && !haveExponent) {
            mantissaEnd = literal.size();
            literal += 'e';
            haveExponent = true;
            expectExponentSign = true;
            continue;
        }
        break;
    }
    if (!haveDigit)
        return {};
    if (haveExponent)
        literal.truncate(mantissaEnd);  // "12E" and "12E+" read as 12
    return literal;
}

}  // namespace

double readNumberPrefix(QStringView text)
{
    const QByteArray literal = numberLiteral(text);
    if (literal.isEmpty())
        return 0;
    bool ok = false;
    const double value = literal.toDouble(&ok);
    // An overflowing exponent would make every comparison true; read it as no number.
    return ok && std::isfinite(value) ? value : 0;
}

}  // namespace update
