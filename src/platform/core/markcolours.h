#pragma once
// The colours of what the program finds in a paper, one set for every
// window and page that shows it (0xRRGGBB, as QRgb and HTML take them).
// Each level reads on white and stands apart from the others: the orange is
// the similarity list's medium band, the violet is dark enough for text.

#include <QtGlobal>

namespace markcolour {
constexpr quint32 kSentence = 0xFF0000;  // whole sentences found (compare-and-mark's rule)
constexpr quint32 kLiteral = 0xE67800;   // runs of N content characters standing as they are
constexpr quint32 kReworded = 0x9400D3;  // runs found once thesaurus words count as equal
constexpr quint32 kPicked = 0x0000FF;    // the marks of the one source picked from a list
}  // namespace markcolour
