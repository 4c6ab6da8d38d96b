#pragma once
// What the run comparisons compare: a text's content characters (ideographs,
// Basic Latin letters and digits and their full-width forms), each folded so
// that spellings of one character compare equal: full-width forms as Basic
// Latin, letters in lower case, traditional ideographs as their simplified
// form (one character for one, from OpenCC's traditional-to-simplified
// character table), compatibility ideographs as the ideograph they stand for.
// Everything else (punctuation, spaces, line breaks, symbols) is skipped.

#include <QStringView>

#include <string>
#include <vector>

namespace matching {

// The folded form of `c`, or 0 when `c` is no content character.
char32_t folded(char32_t c);
inline bool isContent(char32_t c) { return folded(c) != 0; }

// A text's folded content characters and where each stands in the text.
struct FoldedText {
    std::u32string content;
    std::vector<qsizetype> starts;  // UTF-16 offset of content[i] in the text
    std::vector<qsizetype> ends;    // one past its last UTF-16 unit
};
FoldedText foldText(QStringView text);
// The folded content alone, without positions (what the index keeps of a source).
std::u32string foldContent(QStringView text);

}  // namespace matching
