#include "analysis/keptcut.h"

#include "analysis/segmentation.h"

#include <QHash>

#include <algorithm>
#include <deque>
#include <vector>

// How the earlier pieces are found: every whole piece (38 characters) is an
// anchor, looked up by a rolling hash of each 38-character window of the new
// text (one pass, linear). The anchors that occur form candidates (earlier
// index, position); the longest chain increasing in both, without overlaps,
// is the diff's backbone (a longest increasing subsequence, n log n). The
// shorter pieces, and whole ones the chain left out, are then matched outward
// from each kept piece into the gaps. A passage pasted twice, or moved, adds
// candidates but cannot pull the chain away from the order of the rest.

namespace keptcut {
namespace {

using segmentation::kPieceLength;
using segmentation::kPieceMarker;

constexpr quint64 kBase = 1000003;
// Pairs of one repeated piece with its occurrences beyond this are matched by
// rank only, so that a text of one repeated piece stays linear.
constexpr qsizetype kAllPairsLimit = 64;
constexpr qsizetype kRankWindow = 8;

struct Match {
    qsizetype earlier;   // index of the earlier piece
    qsizetype position;  // where it stands in the text
};

quint64 hashOf(QStringView s)
{
    quint64 h = 0;
    for (const QChar c : s)
        h = h * kBase + c.unicode();
    return h;
}

bool standsAt(QStringView text, qsizetype position, QStringView piece)
{
    return position >= 0 && position + piece.size() <= text.size()
        && text.sliced(position, piece.size()) == piece;
}

// The whole earlier pieces, grouped by content, with every position in the
// text where that content stands.
struct AnchorGroup {
    QList<qsizetype> earlier;
    QList<qsizetype> positions;
};

std::vector<AnchorGroup> findAnchors(const QStringList& earlier, QStringView text)
{
    std::vector<AnchorGroup> groups;
    QHash<quint64, qsizetype> groupOfHash;
    for (qsizetype i = 0; i < earlier.size(); ++i) {
        if (earlier[i].size() != kPieceLength)
            continue;
        const quint64 h = hashOf(earlier[i]);
        auto found = groupOfHash.constFind(h);
        // Two contents under one hash: the later one is left to the gap matching.
        if (found != groupOfHash.cend() && earlier[groups[*found].earlier.first()] != earlier[i])
            continue;
        if (found == groupOfHash.cend()) {
            found = groupOfHash.insert(h, qsizetype(groups.size()));
            groups.emplace_back();
        }
        groups[*found].earlier.append(i);
    }
    if (groups.empty() || text.size() < kPieceLength)
        return groups;

    quint64 topPower = 1;  // kBase^(kPieceLength - 1)
    for (qsizetype k = 1; k < kPieceLength; ++k)
        topPower *= kBase;
    quint64 h = hashOf(text.first(kPieceLength));
    for (qsizetype q = 0;; ++q) {
        const auto found = groupOfHash.constFind(h);
        if (found != groupOfHash.cend()) {
            AnchorGroup& g = groups[*found];
            if (standsAt(text, q, earlier[g.earlier.first()]))
                g.positions.append(q);
        }
        if (q + kPieceLength >= text.size())
            break;
        h = (h - text[q].unicode() * topPower) * kBase + text[q + kPieceLength].unicode();
    }
    return groups;
}

// Pairs each occurrence with the earlier pieces of the same content; a large
// group pairs occurrences only with pieces of about the same rank.
std::vector<Match> candidates(const std::vector<AnchorGroup>& groups)
{
    std::vector<Match> all;
    for (const AnchorGroup& g : groups) {
        const qsizetype pieces = g.earlier.size();
        const qsizetype places = g.positions.size();
        const bool allPairs = pieces * places <= kAllPairsLimit;
        for (qsizetype r = 0; r < places; ++r) {
            const qsizetype centre = places > 1 ? r * (pieces - 1) / (places - 1) : 0;
            const qsizetype from = allPairs ? 0 : std::max<qsizetype>(centre - kRankWindow, 0);
            const qsizetype to = allPairs ? pieces : std::min(centre + kRankWindow + 1, pieces);
            for (qsizetype e = from; e < to; ++e)
                all.push_back({g.earlier[e], g.positions[r]});
        }
    }
    std::sort(all.begin(), all.end(), [](const Match& a, const Match& b) {
        return a.position != b.position ? a.position < b.position : a.earlier < b.earlier;
    });
    return all;
}

// The longest chain of candidates increasing in earlier index and in position,
// each one after the end of the one before. A candidate enters the patience
// tails only once the scan has passed its end, so that no chain overlaps.
std::vector<Match> longestChain(const std::vector<Match>& all)
{
    std::vector<qsizetype> tailEarlier;  // least last earlier index of a chain of length k + 1
    std::vector<qsizetype> tailId;
    std::vector<qsizetype> previous(all.size(), -1);
    std::vector<qsizetype> length(all.size(), 0);
    std::deque<qsizetype> waiting;
    const auto enter = [&](qsizetype id) {
        const std::size_t k = std::size_t(length[id] - 1);
        if (k == tailEarlier.size()) {
            tailEarlier.push_back(all[id].earlier);
            tailId.push_back(id);
        } else if (all[id].earlier < tailEarlier[k]) {
            tailEarlier[k] = all[id].earlier;
            tailId[k] = id;
        }
    };
    qsizetype best = -1;
    for (qsizetype id = 0; id < qsizetype(all.size()); ++id) {
        while (!waiting.empty() && all[waiting.front()].position + kPieceLength <= all[id].position) {
            enter(waiting.front());
            waiting.pop_front();
        }
        const auto k =
            std::lower_bound(tailEarlier.begin(), tailEarlier.end(), all[id].earlier) - tailEarlier.begin();
        previous[id] = k > 0 ? tailId[k - 1] : -1;
        length[id] = k + 1;
        if (best < 0 || length[id] > length[best])
            best = id;
        waiting.push_back(id);
    }
    std::vector<Match> chain;
    for (qsizetype id = best; id >= 0; id = previous[id])
        chain.push_back(all[id]);
    std::reverse(chain.begin(), chain.end());
    return chain;
}

// Where `piece` stands at `position` or right after a "|@|" there; -1 if not.
qsizetype matchForward(QStringView text, qsizetype position, QStringView piece, qsizetype limit)
{
    for (const qsizetype at : {position, position + kPieceMarker.size()}) {
        if (at + piece.size() <= limit && standsAt(text, at, piece))
            return at;
        if (!text.sliced(std::min(position, text.size())).startsWith(kPieceMarker))
            break;
    }
    return -1;
}

// Where `piece` stands ending at `end` or right before a "|@|" there; -1 if not.
qsizetype matchBackward(QStringView text, qsizetype end, QStringView piece, qsizetype limit)
{
    for (const qsizetype at : {end, end - kPieceMarker.size()}) {
        if (at - piece.size() >= limit && standsAt(text, at - piece.size(), piece))
            return at - piece.size();
        if (!text.first(std::max<qsizetype>(end, 0)).endsWith(kPieceMarker))
            break;
    }
    return -1;
}

// Extends the kept pieces into the gap between two of them (or an end of the
// text): forward from the left one, then backward from the right one.
void fillGap(const QStringList& earlier, QStringView text, const Match& left, qsizetype leftEnd,
             const Match& right, std::vector<Match>& kept)
{
    qsizetype next = left.earlier + 1;
    qsizetype position = leftEnd;
    for (; next < right.earlier; ++next) {
        if (earlier[next].isEmpty())
            continue;
        const qsizetype at = matchForward(text, position, earlier[next], right.position);
        if (at < 0)
            break;
        kept.push_back({next, at});
        position = at + earlier[next].size();
    }
    std::vector<Match> fromRight;
    qsizetype end = right.position;
    for (qsizetype k = right.earlier - 1; k >= next; --k) {
        if (earlier[k].isEmpty())
            continue;
        const qsizetype at = matchBackward(text, end, earlier[k], position);
        if (at < 0)
            break;
        fromRight.push_back({k, at});
        end = at;
    }
    kept.insert(kept.end(), fromRight.rbegin(), fromRight.rend());
}

std::vector<Match> keptPieces(const QStringList& earlier, QStringView text)
{
    const std::vector<Match> chain = longestChain(candidates(findAnchors(earlier, text)));
    std::vector<Match> kept;
    Match left{-1, 0};
    qsizetype leftEnd = 0;
    for (std::size_t c = 0; c <= chain.size(); ++c) {
        const Match right = c < chain.size() ? chain[c] : Match{earlier.size(), text.size()};
        fillGap(earlier, text, left, leftEnd, right, kept);
        if (c == chain.size())
            break;
        kept.push_back(right);
        left = right;
        leftEnd = right.position + earlier[right.earlier].size();
    }
    return kept;
}

// A stretch between kept pieces, cut from its start; a "|@|" that only
// separates it from a kept piece makes no empty piece.
void appendStretch(QStringView stretch, bool afterKept, bool beforeKept, KeptCut& cut)
{
    if (afterKept && stretch.startsWith(kPieceMarker))
        stretch = stretch.sliced(kPieceMarker.size());
    if (beforeKept && stretch.endsWith(kPieceMarker))
        stretch.chop(kPieceMarker.size());
    for (const QString& piece : segmentation::cutIntoPieces(stretch.toString())) {
        cut.pieces.append(piece);
        cut.earlierIndex.append(-1);
    }
}

KeptCut allNew(const QString& text)
{
    KeptCut cut;
    cut.pieces = segmentation::cutIntoPieces(text);
    cut.earlierIndex = QList<qsizetype>(cut.pieces.size(), -1);
    return cut;
}

qsizetype lengthOf(const QStringList& earlier, const std::vector<Match>& kept)
{
    qsizetype length = 0;
    for (const Match& m : kept)
        length += earlier[m.earlier].size();
    return length;
}

}  // namespace

qsizetype KeptCut::keptCount() const
{
    return std::count_if(earlierIndex.begin(), earlierIndex.end(), [](qsizetype i) { return i >= 0; });
}

qsizetype coveredLength(const QStringList& earlier, const QString& text)
{
    return lengthOf(earlier, keptPieces(earlier, text));
}

KeptCut recut(const QStringList& earlier, const QString& text)
{
    const std::vector<Match> kept = keptPieces(earlier, text);
    const qsizetype keptLength = lengthOf(earlier, kept);
    if (2 * keptLength < text.size() || kept.empty())
        return allNew(text);

    KeptCut cut;
    cut.keptLength = keptLength;
    qsizetype position = 0;
    for (const Match& m : kept) {
        appendStretch(QStringView(text).sliced(position, m.position - position), position > 0, true, cut);
        cut.pieces.append(earlier[m.earlier]);
        cut.earlierIndex.append(m.earlier);
        position = m.position + earlier[m.earlier].size();
    }
    appendStretch(QStringView(text).sliced(position), true, false, cut);
    return cut;
}

bool isCutOf(const QStringList& pieces, const QString& text)
{
    return pieces == segmentation::cutIntoPieces(text) || recut(pieces, text).pieces == pieces;
}

}  // namespace keptcut
