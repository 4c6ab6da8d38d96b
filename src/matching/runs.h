#pragma once
// Literal runs: stretches of at least N consecutive content characters (see
// fold.h) that two texts share, wherever sentences begin or end. Spans are in
// UTF-16 units of the original text and run from a run's first content
// character to its last, punctuation inside included.

#include <QStringView>

#include <vector>

namespace matching {

inline constexpr int kDefaultRun = 13;
inline constexpr int kMinRun = 8;
inline constexpr int kMaxRun = 50;

struct Span {
    qsizetype start = 0;
    qsizetype length = 0;
    qsizetype end() const { return start + length; }
    friend bool operator==(const Span&, const Span&) = default;
};

// A maximal literal run: its place in a and in b, and its content characters.
struct SharedRun {
    Span a;
    Span b;
    qsizetype characters = 0;
    friend bool operator==(const SharedRun&, const SharedRun&) = default;
};

// Every maximal run of at least minRun consecutive content characters of `a`
// that stands as consecutive content characters in `b` (both folded), ordered
// by a's start, then b's. Time grows with the product of the two lengths: meant
// for short texts (a piece against a result summary); a library uses the
// fingerprint index. A minRun below 1 counts as 1.
std::vector<SharedRun> sharedRuns(QStringView a, QStringView b, int minRun = kDefaultRun);

// The same on folded content: runs as (start in a, start in b, length) in content characters.
struct ContentRun {
    qsizetype a = 0;
    qsizetype b = 0;
    qsizetype length = 0;
    friend bool operator==(const ContentRun&, const ContentRun&) = default;
};
std::vector<ContentRun> sharedContentRuns(std::u32string_view a, std::u32string_view b, int minRun);

// Sorted, overlapping or touching spans joined.
std::vector<Span> joined(std::vector<Span> spans);
// The units the joined spans cover.
qsizetype covered(const std::vector<Span>& joinedSpans);

}  // namespace matching
