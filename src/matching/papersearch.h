#pragma once
// One paper against sources taken one at a time: the paper's k-grams (and,
// with a thesaurus, its seeds) go into small tables, and each source is
// walked once, every k-gram of it looked up there. Exact like the fingerprint
// index (every k-gram of the source is looked at, not a winnowed few), and
// with nothing to build over the whole library: what a check that reads the
// documents anyway (trovalis-cli) uses, and what finds reworded runs.
//
// Repetitive text is bounded as in the index: a k-gram that stands more than
// kPaperCap times in the paper is looked for at its first kPaperCap places,
// and one that a source hits more than kCap times is not followed further in
// that source.

#include "matching/runindex.h"
#include "matching/synonyms.h"

#include <optional>
#include <vector>

namespace matching {

inline constexpr int kPaperCap = 64;

// Hashes with their places, looked up by hash.
class HashPlaces {
public:
    // entries: (hash, place); each hash keeps its first `cap` places.
    void build(std::vector<std::pair<quint32, quint32>> entries, int cap);
    // The places of `h`, or none; `id` numbers the distinct hashes.
    const quint32* find(quint32 h, const quint32*& end, qint32& id) const;
    size_t distinct() const { return hashes_.size(); }

private:
    std::vector<quint64> filter_;
    int filterShift_ = 0;
    std::vector<quint32> hashes_;  // distinct, ascending
    std::vector<quint32> starts_;  // places of hashes_[i]: places_[starts_[i] .. starts_[i + 1])
    std::vector<quint32> places_;
    std::vector<quint32> directory_;  // first distinct hash per top bits
    int directoryShift_ = 32;
};

class PaperSearch {
public:
    // Without `synonyms` (not owned), no reworded runs.
    PaperSearch(std::u32string_view paper, int minRun, const Synonyms* synonyms);

    // `shares`, when given, is set to whether the source shares a k-gram that
    // begins with an ideograph with the paper (what reworded() asks first).
    std::vector<FoundRun> literal(qint32 source, std::u32string_view content, bool* shares = nullptr) const;
    // `shares`: that answer when it is known already.
    std::vector<RewordedRun> reworded(qint32 source, std::u32string_view content,
                                      std::optional<bool> shares = {}) const;

private:
    bool sharesGram(std::u32string_view content, size_t j, const quint32* place, const quint32* end) const;
    std::u32string_view paper_;
    int minRun_;
    const Synonyms* synonyms_;
    HashPlaces grams_;
    std::vector<Synonyms::Token> tokens_;
    HashPlaces seeds_;
};

// Every source through one PaperSearch, on the cores; by source, then paper place.
std::vector<FoundRun> findLiteral(const std::vector<Content>& sources, std::u32string_view paper, int minRun);
// Both levels in one walk of each source.
void findLiteralAndReworded(const Synonyms& synonyms, const std::vector<Content>& sources,
                            std::u32string_view paper, int minRun, std::vector<FoundRun>& literal,
                            std::vector<RewordedRun>& reworded);

}  // namespace matching
