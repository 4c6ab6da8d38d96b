#pragma once
// Many sentences looked for in one pass over a text. Each sentence gets
// exactly what looking for it alone gives: its leftmost occurrence, then each
// later one that begins at or after the end of the one before.
//
// The pass tests, at every position, whether the six characters ending there
// end some sentence (a bit in a small table), and only there walks backwards
// through a trie of the sentences read from their ends. On prose that costs
// little more than reading the text once. Should the walks ever cost more
// than a few times the length of both texts (a text repeating one character
// against long sentences of it), the pass is done again by an Aho-Corasick
// automaton, whose cost is linear whatever the text.

#include <QList>
#include <QStringView>

#include <memory>
#include <string_view>
#include <vector>

namespace comparer {

class SentenceMatcher {
public:
    // The views must stay valid while the matcher is used. A sentence may
    // repeat; an empty one is never found.
    explicit SentenceMatcher(const std::vector<QStringView>& sentences);

    // One list of starts per sentence, in the order given.
    std::vector<QList<qsizetype>> occurrences(QStringView text) const;
    // The same by the automaton alone.
    std::vector<QList<qsizetype>> occurrencesByAutomaton(QStringView text) const;

private:
    std::vector<QList<qsizetype>> perSentence(std::vector<QList<qsizetype>> byDistinct) const;

    std::vector<std::u16string_view> distinct_;
    std::vector<qint32> distinctOf_;  // per sentence given: its distinct sentence, or -1
    struct Trie;
    std::shared_ptr<const Trie> trie_;
};

}  // namespace comparer
