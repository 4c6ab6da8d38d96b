#pragma once
// Numbers as the program shows them: plain decimal, "." as the point, at most
// 15 significant digits, no trailing zeros, no point when whole.

#include <QString>

namespace numfmt {

QString format(double value);
QString format(qint64 value);

// Rounds to `decimals` places, a tie going to the even neighbour.
double roundHalfEven(double value, int decimals);

}  // namespace numfmt
