#include "matching/synonyms.h"

#include "matching/fold.h"

#include <algorithm>
#include <bit>
#include <thread>

namespace matching {

namespace {

// Past the largest character fold() gives.
constexpr char32_t kCharacters = 0x323B0;

quint64 childKey(qint32 node, char32_t c) { return (quint64(quint32(node)) << 32) | c; }

// Tokens of a seed: a reworded run holds at least this many.
constexpr int kSeed = 3;

quint64 seedHash(const std::vector<Synonyms::Token>& tokens, size_t at)
{
    quint64 h = 0x9E3779B97F4A7C15ULL;
    for (int i = 0; i < kSeed; ++i)
        h = (h ^ tokens[at + size_t(i)].key) * 0xBF58476D1CE4E5B9ULL;
    return h ^ (h >> 31);
}

}  // namespace

Synonyms::Synonyms(const QStringList& lines)
{
    rootChild_.assign(kCharacters, -1);
    std::unordered_map<std::u32string, qint32> ids;
    std::vector<std::vector<quint32>> linesOf;
    for (qsizetype l = 0; l < lines.size(); ++l) {
        for (const QStringView entry : QStringView(lines[l]).split(u',')) {
            const std::u32string word = foldContent(entry);
            if (word.empty() || word.size() > size_t(kMaxWord))
                continue;
            auto [it, added] = ids.try_emplace(word, qint32(linesOf.size()));
            if (added) {
                linesOf.emplace_back();
                // Into the tree of words, character by character.
                qint32 node = -1;
                for (size_t i = 0; i < word.size(); ++i) {
                    qint32* slot = nullptr;
                    if (i == 0) {
                        slot = &rootChild_[word[0]];
                    } else {
                        slot = &children_.try_emplace(childKey(node, word[i]), -1).first->second;
                    }
                    if (*slot < 0) {
                        *slot = qint32(nodeWord_.size());
                        nodeWord_.push_back(-1);
                    }
                    node = *slot;
                }
                nodeWord_[size_t(node)] = it->second;
            }
            std::vector<quint32>& own = linesOf[size_t(it->second)];
            if (own.empty() || own.back() != quint32(l))
                own.push_back(quint32(l));
        }
    }
    for (const std::vector<quint32>& own : linesOf) {
        lineStart_.push_back(quint32(lines_.size()));
        lineCount_.push_back(quint32(own.size()));
        lines_.insert(lines_.end(), own.begin(), own.end());
    }
}

qint32 Synonyms::wordAt(std::u32string_view content, size_t at, qint32& length) const
{
    qint32 word = -1;
    char32_t c = content[at];
    qint32 node = c < kCharacters ? rootChild_[c] : -1;
    for (size_t i = at; node >= 0;) {
        if (nodeWord_[size_t(node)] >= 0) {
            word = nodeWord_[size_t(node)];
            length = qint32(i - at + 1);
        }
        if (++i >= content.size() || i - at >= size_t(kMaxWord))
            break;
        const auto child = children_.find(childKey(node, content[i]));
        node = child == children_.end() ? -1 : child->second;
    }
    return word;
}

std::vector<Synonyms::Token> Synonyms::tokens(std::u32string_view content) const
{
    std::vector<Token> out;
    out.reserve(content.size());
    for (size_t i = 0; i < content.size();) {
        qint32 length = 1;
        const qint32 word = wordAt(content, i, length);
        if (word >= 0)
            out.push_back({qsizetype(i), length, word, 0x80000000u | lines_[lineStart_[size_t(word)]]});
        else
            out.push_back({qsizetype(i), 1, -1, quint32(content[i])});
        i += size_t(length);
    }
    return out;
}

bool Synonyms::equal(const Token& a, const Token& b) const
{
    if (a.word < 0 || b.word < 0)
        return a.word == b.word && a.key == b.key;
    if (a.word == b.word || a.key == b.key)
        return true;
    // Words of one line: their sorted lines meet.
    const quint32* x = lines_.data() + lineStart_[size_t(a.word)];
    const quint32* xe = x + lineCount_[size_t(a.word)];
    const quint32* y = lines_.data() + lineStart_[size_t(b.word)];
    const quint32* ye = y + lineCount_[size_t(b.word)];
    while (x != xe && y != ye) {
        if (*x == *y)
            return true;
        if (*x < *y)
            ++x;
        else
            ++y;
    }
    return false;
}

std::vector<RewordedRun> findReworded(const Synonyms& synonyms, const std::vector<Content>& sources,
                                      std::u32string_view paper, int minRun)
{
    minRun = std::clamp(minRun, kMinRun, kMaxRun);
    const std::vector<Synonyms::Token> own = synonyms.tokens(paper);
    if (own.size() < size_t(kSeed))
        return {};
    // The paper's seeds, and a filter of their hashes that most of a source's seeds fail.
    std::unordered_multimap<quint64, size_t> seeds;
    seeds.reserve(own.size());
    std::vector<quint64> filter(std::bit_ceil(own.size()) / 4 + 1, 0);
    const size_t filterBits = filter.size() * 64;
    for (size_t p = 0; p + kSeed <= own.size(); ++p) {
        const quint64 h = seedHash(own, p);
        seeds.emplace(h, p);
        filter[(h % filterBits) / 64] |= 1ULL << (h % 64);
    }
    const auto paperChars = [&](size_t first, size_t end) {
        return own[end - 1].first + own[end - 1].length - own[first].first;
    };
    std::vector<std::vector<RewordedRun>> found(sources.size());
    const size_t threads = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4);  // asked once
    const auto work = [&](size_t part) {
        for (size_t s = sources.size() * part / threads; s < sources.size() * (part + 1) / threads; ++s) {
            if (!sources[s] || sources[s]->size() < size_t(minRun))
                continue;
            const std::vector<Synonyms::Token> theirs = synonyms.tokens(*sources[s]);
            std::unordered_map<qint64, size_t> diagonalEnd;  // source token minus paper token -> paper end
            for (size_t j = 0; j + kSeed <= theirs.size(); ++j) {
                const quint64 h = seedHash(theirs, j);
                if (!(filter[(h % filterBits) / 64] >> (h % 64) & 1))
                    continue;
                const auto [from, to] = seeds.equal_range(h);
                for (auto it = from; it != to; ++it) {
                    const size_t p = it->second;
                    const qint64 diagonal = qint64(j) - qint64(p);
                    if (const auto d = diagonalEnd.find(diagonal); d != diagonalEnd.end() && d->second > p)
                        continue;
                    size_t left = 0;
                    while (p - left > 0 && j - left > 0
                           && synonyms.equal(own[p - left - 1], theirs[j - left - 1]))
                        ++left;
                    size_t right = 0;
                    while (p + right < own.size() && j + right < theirs.size()
                           && synonyms.equal(own[p + right], theirs[j + right]))
                        ++right;
                    const size_t first = p - left;
                    const size_t end = p + right;
                    diagonalEnd[diagonal] = end;
                    if (end == first || paperChars(first, end) < minRun)
                        continue;
                    bool reworded = false;
                    for (size_t t = first; t < end && !reworded; ++t)
                        reworded = own[t].word != theirs[t + size_t(diagonal)].word;
                    if (!reworded)
                        continue;
                    const Synonyms::Token& last = theirs[end - 1 + size_t(diagonal)];
                    const qsizetype at = theirs[j - left].first;
                    found[s].push_back({qint32(s), own[first].first, paperChars(first, end), at,
                                        last.first + last.length - at});
                }
            }
        }
    };
    std::vector<std::thread> helpers;
    for (size_t t = 1; t < threads; ++t)
        helpers.emplace_back(work, t);
    work(0);
    for (std::thread& t : helpers)
        t.join();
    std::vector<RewordedRun> out;
    for (std::vector<RewordedRun>& runs : found) {
        std::sort(runs.begin(), runs.end(), [](const RewordedRun& a, const RewordedRun& b) {
            return a.paper != b.paper ? a.paper < b.paper : a.at < b.at;
        });
        out.insert(out.end(), runs.begin(), runs.end());
    }
    return out;
}

}  // namespace matching
