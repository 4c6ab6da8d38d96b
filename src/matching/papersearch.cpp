#include "matching/papersearch.h"

#include "matching/parallel.h"

#include <algorithm>
#include <bit>
#include <unordered_map>

namespace matching {

namespace {

// Tokens of a seed of the reworded search; a seed standing more than
// kSeedCap times in the paper is looked for at its first kSeedCap places, and
// one that a source hits more than kSeedHits times is not followed further there.
constexpr int kSeed = 5;
constexpr int kSeedCap = 4;
constexpr int kSeedHits = 64;

quint32 seedHash(const std::vector<Synonyms::Token>& tokens, size_t at)
{
    quint64 h = 0x9E3779B97F4A7C15ULL;
    for (int i = 0; i < kSeed; ++i)
        h = (h ^ tokens[at + size_t(i)].key) * 0xBF58476D1CE4E5B9ULL;
    return static_cast<quint32>((h ^ (h >> 31)) >> 16);
}

// How often each of the paper's hashes was hit in the source at hand: one
// per thread, only what was touched set back.
struct HitCounts {
    std::vector<quint16> counts;
    std::vector<qint32> touched;
    // True while `id` has been hit at most `cap` times.
    bool take(qint32 id, int cap)
    {
        if (counts[size_t(id)] == 0)
            touched.push_back(id);
        if (counts[size_t(id)] > cap)
            return false;
        ++counts[size_t(id)];
        return true;
    }
    void reset(size_t size)
    {
        if (counts.size() != size) {
            counts.assign(size, 0);
        } else {
            for (const qint32 id : touched)
                counts[size_t(id)] = 0;
        }
        touched.clear();
    }
};

HitCounts& hitCounts(size_t size)
{
    thread_local HitCounts counts;
    counts.reset(size);
    return counts;
}

}  // namespace

void HashPlaces::build(std::vector<std::pair<quint32, quint32>> entries, int cap)
{
    std::sort(entries.begin(), entries.end());
    hashes_.clear();
    starts_.clear();
    places_.clear();
    for (size_t i = 0; i < entries.size();) {
        size_t j = i;
        hashes_.push_back(entries[i].first);
        starts_.push_back(quint32(places_.size()));
        for (; j < entries.size() && entries[j].first == entries[i].first; ++j) {
            if (j - i < size_t(cap))
                places_.push_back(entries[j].second);
        }
        i = j;
    }
    starts_.push_back(quint32(places_.size()));
    // Sixteen filter bits a hash: most of a source's k-grams stop there.
    const size_t bits = std::max<size_t>(64, std::bit_ceil(hashes_.size() * 16));
    filter_.assign(bits / 64, 0);
    filterShift_ = 32 - std::countr_zero(bits);
    for (const quint32 h : hashes_) {
        const size_t bit = size_t((h * 0x9E3779B1u) >> filterShift_);
        filter_[bit / 64] |= 1ULL << (bit % 64);
    }
    const int dirBits = std::clamp(int(std::bit_width(hashes_.size())), 1, 20);
    directoryShift_ = 32 - dirBits;
    directory_.assign((size_t(1) << dirBits) + 1, 0);
    for (const quint32 h : hashes_)
        ++directory_[(h >> directoryShift_) + 1];
    for (size_t b = 1; b < directory_.size(); ++b)
        directory_[b] += directory_[b - 1];
}

const quint32* HashPlaces::find(quint32 h, const quint32*& end, qint32& id) const
{
    if (filter_.empty())
        return end = nullptr;
    const size_t bit = size_t((h * 0x9E3779B1u) >> filterShift_);
    if (!(filter_[bit / 64] >> (bit % 64) & 1))
        return end = nullptr;
    const auto first = hashes_.begin() + directory_[h >> directoryShift_];
    const auto last = hashes_.begin() + directory_[(h >> directoryShift_) + 1];
    const auto it = std::lower_bound(first, last, h);
    if (it == last || *it != h)
        return end = nullptr;
    id = qint32(it - hashes_.begin());
    end = places_.data() + starts_[size_t(id) + 1];
    return places_.data() + starts_[size_t(id)];
}

PaperSearch::PaperSearch(std::u32string_view paper, int minRun, const Synonyms* synonyms)
    : paper_(paper), minRun_(std::clamp(minRun, kMinRun, kMaxRun)), synonyms_(synonyms)
{
    std::vector<std::pair<quint32, quint32>> entries;
    if (paper.size() >= size_t(kGram)) {
        entries.reserve(paper.size() - kGram + 1);
        for (size_t i = 0; i + kGram <= paper.size(); ++i)
            entries.push_back({gramHash(paper.data() + i), quint32(i)});
    }
    grams_.build(std::move(entries), kPaperCap);
    if (!synonyms)
        return;
    tokens_ = synonyms->tokens(paper);
    std::vector<std::pair<quint32, quint32>> seeds;
    for (size_t t = 0; t + kSeed <= tokens_.size(); ++t)
        seeds.push_back({seedHash(tokens_, t), quint32(t)});
    seeds_.build(std::move(seeds), kSeedCap);
}

bool PaperSearch::sharesGram(std::u32string_view content, size_t j, const quint32* place,
                             const quint32* end) const
{
    if (content[j] < 0x3400)
        return false;
    for (; place != end; ++place) {
        if (agreementAt(paper_, qsizetype(*place), content, qsizetype(j)).right > 0)
            return true;
    }
    return false;
}

std::vector<FoundRun> PaperSearch::literal(qint32 source, std::u32string_view content, bool* shares) const
{
    std::vector<FoundRun> runs;
    if (shares)
        *shares = false;
    if (content.size() < size_t(kGram))
        return runs;
    HitCounts& hits = hitCounts(grams_.distinct());
    // The source's end of the run found on each diagonal (source place minus paper place).
    std::unordered_map<qint64, qsizetype> diagonalEnd;
    const qsizetype m = qsizetype(content.size());
    for (qsizetype j = 0; j + kGram <= m; ++j) {
        const quint32* end = nullptr;
        qint32 id = 0;
        const quint32* place = grams_.find(gramHash(content.data() + j), end, id);
        if (place == end)
            continue;
        if (shares && !*shares)
            *shares = sharesGram(content, size_t(j), place, end);
        if (!hits.take(id, kCap) || paper_.size() < size_t(minRun_))
            continue;
        for (; place != end; ++place) {
            const qsizetype i = qsizetype(*place);
            const qint64 diagonal = qint64(j) - i;
            if (const auto d = diagonalEnd.find(diagonal); d != diagonalEnd.end() && d->second > j)
                continue;
            const auto [left, right] = agreementAt(paper_, i, content, j);
            if (left + right < minRun_)
                continue;
            diagonalEnd[diagonal] = j + right;
            runs.push_back({source, i - left, j - left, left + right});
        }
    }
    std::sort(runs.begin(), runs.end(), [](const FoundRun& a, const FoundRun& b) {
        return a.paper != b.paper ? a.paper < b.paper : a.at < b.at;
    });
    return runs;
}

std::vector<RewordedRun> PaperSearch::reworded(qint32 source, std::u32string_view content,
                                               std::optional<bool> shares) const
{
    std::vector<RewordedRun> found;
    if (!synonyms_ || tokens_.size() < size_t(kSeed) || content.size() < size_t(minRun_))
        return found;
    // A source that shares no k-gram beginning with an ideograph with the
    // paper is left alone: tokens cost far more than a look at its k-grams
    // (and a shared option name or path says nothing of reworded prose).
    if (!shares) {
        shares = false;
        for (size_t j = 0; j + kGram <= content.size() && !*shares; ++j) {
            if (content[j] < 0x3400)
                continue;
            const quint32* end = nullptr;
            qint32 id = 0;
            const quint32* place = grams_.find(gramHash(content.data() + j), end, id);
            shares = sharesGram(content, j, place, end);
        }
    }
    if (!*shares)
        return found;
    const std::vector<Synonyms::Token> theirs = synonyms_->tokens(content);
    const std::vector<Synonyms::Token>& own = tokens_;
    const auto paperChars = [&](size_t first, size_t end) {
        return own[end - 1].first + own[end - 1].length - own[first].first;
    };
    HitCounts& hits = hitCounts(seeds_.distinct());
    std::unordered_map<qint64, size_t> diagonalEnd;  // source token minus paper token -> source token end
    for (size_t j = 0; j + kSeed <= theirs.size(); ++j) {
        const quint32* end = nullptr;
        qint32 id = 0;
        const quint32* place = seeds_.find(seedHash(theirs, j), end, id);
        if (place == end || !hits.take(id, kSeedHits))
            continue;
        for (; place != end; ++place) {
            const size_t p = *place;
            const qint64 diagonal = qint64(j) - qint64(p);
            if (const auto d = diagonalEnd.find(diagonal); d != diagonalEnd.end() && d->second > j)
                continue;
            size_t left = 0;
            while (p - left > 0 && j - left > 0 && synonyms_->equal(own[p - left - 1], theirs[j - left - 1]))
                ++left;
            size_t right = 0;
            while (p + right < own.size() && j + right < theirs.size()
                   && synonyms_->equal(own[p + right], theirs[j + right]))
                ++right;
            diagonalEnd[diagonal] = j + right;
            const size_t first = p - left;
            const size_t last = p + right;  // one past
            if (last == first || paperChars(first, last) < minRun_)
                continue;
            bool substituted = false;
            for (size_t t = first; t < last && !substituted; ++t)
                substituted = own[t].word != theirs[size_t(qint64(t) + diagonal)].word;
            if (!substituted)
                continue;
            const Synonyms::Token& lastTheirs = theirs[size_t(qint64(last) - 1 + diagonal)];
            const qsizetype at = theirs[j - left].first;
            found.push_back({source, own[first].first, paperChars(first, last), at,
                             lastTheirs.first + lastTheirs.length - at});
        }
    }
    std::sort(found.begin(), found.end(), [](const RewordedRun& a, const RewordedRun& b) {
        return a.paper != b.paper ? a.paper < b.paper : a.at < b.at;
    });
    return found;
}

std::vector<FoundRun> findLiteral(const std::vector<Content>& sources, std::u32string_view paper, int minRun)
{
    const PaperSearch search(paper, minRun, nullptr);
    std::vector<std::vector<FoundRun>> found(sources.size());
    inParallel(sources.size(), [&](size_t s) {
        if (sources[s])
            found[s] = search.literal(qint32(s), *sources[s]);
    });
    std::vector<FoundRun> out;
    for (const std::vector<FoundRun>& runs : found)
        out.insert(out.end(), runs.begin(), runs.end());
    return out;
}

void findLiteralAndReworded(const Synonyms& synonyms, const std::vector<Content>& sources,
                            std::u32string_view paper, int minRun, std::vector<FoundRun>& literal,
                            std::vector<RewordedRun>& reworded)
{
    const PaperSearch search(paper, minRun, &synonyms);
    std::vector<std::vector<FoundRun>> literalOf(sources.size());
    std::vector<std::vector<RewordedRun>> rewordedOf(sources.size());
    inParallel(sources.size(), [&](size_t s) {
        if (!sources[s])
            return;
        bool shares = false;
        literalOf[s] = search.literal(qint32(s), *sources[s], &shares);
        rewordedOf[s] = search.reworded(qint32(s), *sources[s], shares);
    });
    for (size_t s = 0; s < sources.size(); ++s) {
        literal.insert(literal.end(), literalOf[s].begin(), literalOf[s].end());
        reworded.insert(reworded.end(), rewordedOf[s].begin(), rewordedOf[s].end());
    }
}

std::vector<RewordedRun> findReworded(const Synonyms& synonyms, const std::vector<Content>& sources,
                                      std::u32string_view paper, int minRun)
{
    const PaperSearch search(paper, minRun, &synonyms);
    std::vector<std::vector<RewordedRun>> found(sources.size());
    inParallel(sources.size(), [&](size_t s) {
        if (sources[s])
            found[s] = search.reworded(qint32(s), *sources[s]);
    });
    std::vector<RewordedRun> out;
    for (const std::vector<RewordedRun>& runs : found)
        out.insert(out.end(), runs.begin(), runs.end());
    return out;
}

}  // namespace matching
