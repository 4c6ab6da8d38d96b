#pragma once
// Reworded runs: stretches of the paper that match a source once words of one
// thesaurus line are taken as equal.
//
// The paper and the source are cut into tokens by the longest thesaurus word
// at each place (a content character in no word is a token of its own). Two
// tokens are equal when they are the same word or character, or words that
// stand together in some line: equality goes no further than one line, so a
// thesaurus whose lines chain thousands of words together makes no large
// class of them. A reworded run is a maximal stretch of equal tokens of at
// least N content characters in the paper that holds at least one word the
// source has in another form. A source that shares no k-gram (kGram content
// characters) beginning with an ideograph with the paper is not looked at.

#include "matching/runindex.h"

#include <QStringList>

#include <unordered_map>
#include <vector>

namespace matching {

class Synonyms {
public:
    // Lines of words separated by "," as the thesaurus holds them; words are
    // folded (fold.h), and longer than kMaxWord content characters are left out.
    explicit Synonyms(const QStringList& lines);
    static constexpr int kMaxWord = 16;

    size_t wordCount() const { return lineStart_.size(); }

    struct Token {
        qsizetype first = 0;  // content characters
        qint32 length = 1;
        qint32 word = -1;  // -1: a character in no word
        quint32 key = 0;   // the word's first line (as 0x80000000 | line), or the character
    };
    std::vector<Token> tokens(std::u32string_view content) const;
    bool equal(const Token& a, const Token& b) const;

private:
    qint32 wordAt(std::u32string_view content, size_t at, qint32& length) const;
    std::vector<qint32> rootChild_;  // by folded first character: node, or -1
    // (node + 1) << 32 | character -> node, open addressing (0: empty)
    qint32 child(qint32 node, char32_t c) const;
    void addChild(quint64 key, qint32 node);
    std::vector<quint64> childKeys_;
    std::vector<qint32> childNodes_;
    size_t childCount_ = 0;
    std::vector<qint32> nodeWord_;    // word ending at each node, or -1
    std::vector<quint32> lineStart_;  // per word: its lines in lines_
    std::vector<quint32> lineCount_;
    std::vector<quint32> lines_;  // each word's lines, ascending
};

struct RewordedRun {
    qint32 source = 0;
    qsizetype paper = 0;  // content characters of the paper
    qsizetype paperLength = 0;
    qsizetype at = 0;  // content characters of the source
    qsizetype length = 0;
};

// The reworded runs of the paper against every source, by source, then paper place.
std::vector<RewordedRun> findReworded(const Synonyms& synonyms, const std::vector<Content>& sources,
                                      std::u32string_view paper, int minRun);

}  // namespace matching
