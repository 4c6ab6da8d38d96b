#pragma once
// Reads the number at the start of a text the way the platform's number
// prefix reader does: blanks, tabs and line feeds anywhere are ignored, then an
// optional sign, digits with at most one decimal point and an optional
// exponent; reading stops at the first character that cannot continue the
// number. A text without a leading number reads as 0.

#include <QStringView>

namespace update {

double readNumberPrefix(QStringView text);

}  // namespace update
