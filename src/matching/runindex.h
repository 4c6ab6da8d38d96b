#pragma once
// The fingerprint index of a library's sources for literal runs.
//
// Each source is kept as its folded content characters (what verification
// needs) and as winnowed fingerprints (Schleimer, Wilkerson and Aiken, 2003):
// the hashes of its k-grams of content characters (k = kGram), and of every
// window of kWindow consecutive k-grams the one with the smallest hash.
//
// The guarantee: a run of N >= kMinRun consecutive content characters holds
// N - kGram + 1 >= kWindow k-grams, so at least one whole window, so at least
// one fingerprint (kWindow + kGram - 1 = kMinRun <= N). The paper's k-grams are
// all looked up, each candidate is checked on the texts and extended to the
// run's full length, so every maximal run of N or more is found, exactly.
//
// Two limits keep repetitive text from costing time without end, and only
// repetitive text meets them: a hash that more than kCap fingerprints share
// keeps its first kCap (a source of one repeated character has one hash
// everywhere), and a place of the paper that kDepth runs of one source
// already cover is not extended there again.

#include "matching/largepages.h"
#include "matching/runs.h"

#include <QByteArray>
#include <QIODevice>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace matching {

inline constexpr int kGram = 5;
inline constexpr int kWindow = kMinRun - kGram + 1;
static_assert(kWindow + kGram - 1 <= kMinRun);
inline constexpr int kCap = 4096;
inline constexpr int kDepth = 64;

using Content = std::shared_ptr<const std::u32string>;  // a source's folded content characters

// A maximal literal run in content characters: the paper's and the source's.
struct FoundRun {
    qint32 source = 0;
    qsizetype paper = 0;  // first content character in the paper
    qsizetype at = 0;     // first content character in the source
    qsizetype length = 0;
    friend bool operator==(const FoundRun&, const FoundRun&) = default;
};

class RunIndex {
public:
    RunIndex() = default;
    // Sources beyond four thousand million content characters in all are left
    // out. Without `fingerprints`, find() walks every source (PaperSearch):
    // for a check that builds the index only to use it once.
    explicit RunIndex(std::vector<Content> sources, bool fingerprints = true);

    // Every maximal run of at least minRun (clamped to kMinRun..kMaxRun)
    // content characters shared with a source, by source, paper place, source place.
    std::vector<FoundRun> find(std::u32string_view paper, int minRun) const;

    const std::vector<Content>& sources() const { return sources_; }
    size_t fingerprintCount() const { return entries_.size(); }
    bool hasFingerprints() const { return fingerprinted_; }

    // The fingerprints as they are kept in a library's index; the contents are kept beside them.
    QByteArray fingerprintBytes() const;
    // Empty when the bytes are no fingerprints of these sources.
    static std::optional<RunIndex> fromBytes(std::vector<Content> sources, QByteArrayView bytes);
    // The same, `bytes` read from `device` straight into the index's memory.
    static std::optional<RunIndex> read(std::vector<Content> sources, QIODevice& device, quint64 bytes);

private:
    struct Entry {
        quint32 hash;
        quint32 at;  // place in all sources back to back
    };
    void setSources(std::vector<Content> sources);
    using Entries = std::vector<Entry, matching::LargePageAllocator<Entry>>;
    static_assert(sizeof(Entry) == 8);  // as kept on disk, little-endian
    void buildDirectory();
    static std::optional<RunIndex> fromEntries(std::vector<Content> sources, Entries entries);
    qint32 sourceAt(quint32 at) const;

    std::vector<Content> sources_;
    std::vector<quint64> starts_;     // each source's first place, and the end
    Entries entries_;                 // by hash, then place
    std::vector<quint32> directory_;  // first entry per top bits of the hash
    int directoryShift_ = 32;
    bool fingerprinted_ = false;
};

// The hash of the k-gram at `p`.
inline quint32 gramHash(const char32_t* p)
{
    quint64 h = 0x243F6A8885A308D3ULL;
    for (int i = 0; i < kGram; ++i)
        h = (h ^ p[i]) * 0x9E3779B97F4A7C15ULL;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ULL;
    return static_cast<quint32>(h >> 32);
}

// Where paper[i] and text[at] begin kGram equal characters: how far the two
// agree before them and from them on (0 from them on when they differ).
struct Agreement {
    qsizetype left = 0;
    qsizetype right = 0;
};
inline Agreement agreementAt(std::u32string_view paper, qsizetype i, std::u32string_view text, qsizetype at)
{
    Agreement a;
    const qsizetype n = qsizetype(paper.size());
    const qsizetype m = qsizetype(text.size());
    if (at + kGram > m || i + kGram > n || paper.substr(size_t(i), kGram) != text.substr(size_t(at), kGram))
        return a;
    while (i - a.left > 0 && at - a.left > 0
           && paper[size_t(i - a.left - 1)] == text[size_t(at - a.left - 1)])
        ++a.left;
    a.right = kGram;
    while (i + a.right < n && at + a.right < m && paper[size_t(i + a.right)] == text[size_t(at + a.right)])
        ++a.right;
    return a;
}

// The hashes of the k-grams of `text` (text.size() - kGram + 1 of them).
std::vector<quint32> gramHashes(std::u32string_view text);

}  // namespace matching
