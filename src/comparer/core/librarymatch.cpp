#include "comparer/core/librarymatch.h"

#include "comparer/core/localcompare.h"
#include "comparer/core/referencesentences.h"
#include "matching/fold.h"
#include "matching/papersearch.h"

#include <QIODevice>
#include <QSysInfo>
#include <QtEndian>
#include <algorithm>

#include <bit>
#include <limits>
#include <thread>
#include <unordered_map>

namespace comparer::library {

namespace {

// Polynomial hashes modulo a Mersenne prime: two different sentences of equal
// length share a hash with a chance of about length / 2^61.
constexpr quint64 kModulus = (1ULL << 61) - 1;
constexpr quint64 kBase = 0x5DEECE66DULL;
constexpr size_t kHead = kMinSentenceLength;

quint64 reduced(quint64 x) { return x >= kModulus ? x - kModulus : x; }

quint64 mulMod(quint64 a, quint64 b)
{
    const unsigned __int128 product = static_cast<unsigned __int128>(a) * b;
    return reduced(static_cast<quint64>(product & kModulus) + static_cast<quint64>(product >> 61));
}

quint64 appended(quint64 hash, char16_t c) { return reduced(mulMod(hash, kBase) + c + 1); }

quint64 hashOf(QStringView s)
{
    quint64 hash = 0;
    for (const QChar c : s)
        hash = appended(hash, c.unicode());
    return hash;
}

bool keyLess(quint64 headA, quint32 lengthA, quint64 hashA, quint64 headB, quint32 lengthB, quint64 hashB)
{
    if (headA != headB)
        return headA < headB;
    if (lengthA != lengthB)
        return lengthA < lengthB;
    return hashA < hashB;
}

// The hash of every stretch of the paper in constant time, from the hashes of
// its beginnings.
class PaperHashes {
public:
    explicit PaperHashes(QStringView paper) : prefix_(paper.size() + 1, 0), power_(paper.size() + 1, 1)
    {
        for (qsizetype i = 0; i < paper.size(); ++i) {
            prefix_[i + 1] = appended(prefix_[i], paper[i].unicode());
            power_[i + 1] = mulMod(power_[i], kBase);
        }
    }

    quint64 of(qsizetype start, qsizetype length) const
    {
        const quint64 before = mulMod(prefix_[start], power_[length]);
        return reduced(prefix_[start + length] + kModulus - before);
    }

private:
    std::vector<quint64> prefix_;
    std::vector<quint64> power_;
};

size_t filterBit(quint64 head, int shift)
{
    return static_cast<size_t>((head * 0x9E3779B97F4A7C15ULL) >> shift);
}

int filterShift(const std::vector<quint64>& filter) { return 64 - std::countr_zero(filter.size() * 64); }

}  // namespace

std::vector<SentenceKey> sentenceKeys(QString text)
{
    const ReferenceSentences cut = cutReference(std::move(text));
    std::vector<SentenceKey> keys;
    keys.reserve(cut.spans.size());
    for (size_t i = 0; i < cut.spans.size(); ++i) {
        const QStringView sentence = cut.sentence(i);
        if (sentence.size() < kMinSentenceLength)
            continue;
        // The head is the whole hash part way through.
        const quint64 head = hashOf(sentence.first(kHead));
        quint64 hash = head;
        for (const QChar c : sentence.sliced(kHead))
            hash = appended(hash, c.unicode());
        keys.push_back({head, hash, static_cast<quint32>(sentence.size())});
    }
    return keys;
}

qint64 totalLength(const std::vector<Stretch>& joinedStretches) { return matching::covered(joinedStretches); }

// The heads are hashes, spread evenly: each key goes straight into a bucket
// by its head's top bits, and only the small buckets are sorted (three times
// faster than sorting millions of entries at once, and no second copy of
// the table). A sentence that stands twice in one source is kept once.
LibraryTable::LibraryTable(const std::vector<const std::vector<SentenceKey>*>& keysOf,
                           std::vector<matching::Content> contents, bool fingerprints)
    : runs_(contents.empty() ? matching::RunIndex() : matching::RunIndex(std::move(contents), fingerprints))
{
    constexpr int kBucketBits = 16;
    const auto bucketOf = [](quint64 head) { return static_cast<size_t>(head >> (61 - kBucketBits)); };
    std::vector<size_t> starts((size_t(1) << kBucketBits) + 1, 0);
    for (const auto* keys : keysOf) {
        for (const SentenceKey& k : *keys)
            ++starts[bucketOf(k.head) + 1];
    }
    for (size_t b = 1; b < starts.size(); ++b)
        starts[b] += starts[b - 1];
    entries_.resize(starts.back());
    std::vector<size_t> fill(starts.begin(), starts.end() - 1);
    for (size_t source = 0; source < keysOf.size(); ++source) {
        for (const SentenceKey& k : *keysOf[source])
            entries_[fill[bucketOf(k.head)]++] = {k.head, k.hash, k.length, static_cast<qint32>(source)};
    }
    const auto less = [](const Entry& a, const Entry& b) {
        if (a.head != b.head || a.length != b.length || a.hash != b.hash)
            return keyLess(a.head, a.length, a.hash, b.head, b.length, b.hash);
        return a.source < b.source;
    };
    // The buckets are independent: each core sorts a share of them.
    const size_t buckets = starts.size() - 1;
    const size_t threads = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4);
    const auto sortBuckets = [&](size_t part) {
        for (size_t b = buckets * part / threads; b < buckets * (part + 1) / threads; ++b)
            std::sort(entries_.begin() + starts[b], entries_.begin() + starts[b + 1], less);
    };
    std::vector<std::thread> helpers;
    for (size_t part = 1; part < threads; ++part)
        helpers.emplace_back(sortBuckets, part);
    sortBuckets(0);
    for (std::thread& t : helpers)
        t.join();
    const auto same = [](const Entry& a, const Entry& b) {
        return a.head == b.head && a.length == b.length && a.hash == b.hash && a.source == b.source;
    };
    entries_.erase(std::unique(entries_.begin(), entries_.end(), same), entries_.end());
    buildFilter();
}

void LibraryTable::buildFilter()
{
    // Sixteen bits a sentence: most places of the paper begin no sentence, and
    // the filter says so without touching the table.
    headFilter_.assign(std::max<size_t>(16, std::bit_ceil(16 * entries_.size()) / 64), 0);
    const int shift = filterShift(headFilter_);
    for (const Entry& e : entries_) {
        const size_t bit = filterBit(e.head, shift);
        headFilter_[bit / 64] |= 1ULL << (bit % 64);
    }
}

namespace {
constexpr qsizetype kEntryBytes = 24;  // head, hash, length, source; little-endian
}  // namespace

QByteArray LibraryTable::toBytes() const
{
    QByteArray bytes(static_cast<qsizetype>(entries_.size()) * kEntryBytes, Qt::Uninitialized);
    char* p = bytes.data();
    for (const Entry& e : entries_) {
        qToLittleEndian(e.head, p);
        qToLittleEndian(e.hash, p + 8);
        qToLittleEndian(e.length, p + 16);
        qToLittleEndian(e.source, p + 20);
        p += kEntryBytes;
    }
    return bytes;
}

// The table goes from the file into its array (in large pages) in one read,
// with no buffer between: 2.5 million sentences (50 M characters of manual
// pages) took 0.45 s through a QByteArray and an entry at a time, 0.02 s so.
std::optional<LibraryTable> LibraryTable::read(QIODevice& device, quint64 bytes, size_t sources)
{
    if (bytes % kEntryBytes != 0 || bytes > quint64(std::numeric_limits<qint64>::max()))
        return std::nullopt;
    Entries entries(static_cast<size_t>(bytes / kEntryBytes));
    if (device.read(reinterpret_cast<char*>(entries.data()), qint64(bytes)) != qint64(bytes))
        return std::nullopt;
    if constexpr (QSysInfo::ByteOrder != QSysInfo::LittleEndian) {
        for (Entry& e : entries)
            e = {qFromLittleEndian(e.head), qFromLittleEndian(e.hash), qFromLittleEndian(e.length),
                 qFromLittleEndian(e.source)};
    }
    return fromEntries(std::move(entries), sources);
}

std::optional<LibraryTable> LibraryTable::fromEntries(Entries entries, size_t sources)
{
    for (const Entry& e : entries) {
        if (e.source < 0 || static_cast<size_t>(e.source) >= sources)
            return std::nullopt;
    }
    LibraryTable table;
    table.entries_ = std::move(entries);
    table.buildFilter();
    return table;
}

std::vector<std::vector<SentenceKey>> LibraryTable::keysBySource(size_t sources) const
{
    std::vector<size_t> counts(sources, 0);
    for (const Entry& e : entries_)
        ++counts[static_cast<size_t>(e.source)];
    std::vector<std::vector<SentenceKey>> keys(sources);
    for (size_t s = 0; s < sources; ++s)
        keys[s].reserve(counts[s]);
    for (const Entry& e : entries_)
        keys[static_cast<size_t>(e.source)].push_back({e.head, e.hash, e.length});
    return keys;
}

bool LibraryTable::mayStart(quint64 head) const
{
    const size_t bit = filterBit(head, filterShift(headFilter_));
    return headFilter_[bit / 64] >> (bit % 64) & 1;
}

size_t LibraryTable::sentenceEnd(size_t first) const
{
    const Entry& e = entries_[first];
    size_t end = first + 1;
    while (end < entries_.size() && entries_[end].head == e.head && entries_[end].length == e.length
           && entries_[end].hash == e.hash)
        ++end;
    return end;
}

// Every place of the paper where some sentence begins, by the rule of
// compare-and-mark: per sentence, the leftmost occurrence, then each later
// one that begins at or after the end of the one before.
std::vector<LibraryTable::Mark> LibraryTable::marks(QStringView paper) const
{
    std::vector<Mark> found;
    const qsizetype n = paper.size();
    if (entries_.empty() || n < static_cast<qsizetype>(kHead))
        return found;
    const PaperHashes hashes(paper);
    std::unordered_map<size_t, qsizetype> nextFree;  // per sentence found
    for (qsizetype p = 0; p + static_cast<qsizetype>(kHead) <= n; ++p) {
        const quint64 head = hashes.of(p, kHead);
        if (!mayStart(head))
            continue;
        auto it = std::lower_bound(entries_.begin(), entries_.end(), head,
                                   [](const Entry& e, quint64 h) { return e.head < h; });
        // One sentence length after the other, shortest first.
        while (it != entries_.end() && it->head == head && p + it->length <= n) {
            const quint32 length = it->length;
            const auto lengthEnd = std::partition_point(
                it, entries_.end(), [&](const Entry& e) { return e.head == head && e.length == length; });
            const quint64 hash = hashes.of(p, length);
            const auto match =
                std::lower_bound(it, lengthEnd, hash, [](const Entry& e, quint64 h) { return e.hash < h; });
            if (match != lengthEnd && match->hash == hash) {
                const auto first = static_cast<size_t>(match - entries_.begin());
                auto [free, added] = nextFree.try_emplace(first, 0);
                if (p >= free->second) {
                    found.push_back({first, p});
                    free->second = p + length;
                }
            }
            it = lengthEnd;
        }
    }
    return found;
}

LibraryResult LibraryTable::findIn(QStringView paper, const RunSettings& settings) const
{
    LibraryResult result = findSentences(paper);
    if (settings.runLength > 0 && !runs_.sources().empty())
        addRuns(result, paper, settings);
    return result;
}

LibraryResult LibraryTable::findSentences(QStringView paper) const
{
    LibraryResult result;
    result.paperLength = paper.size();
    std::vector<Stretch> all;
    std::vector<std::pair<qint32, Stretch>> bySource;
    for (const Mark& mark : marks(paper)) {
        const Stretch stretch{mark.start, entries_[mark.entry].length};
        all.push_back(stretch);
        for (size_t e = mark.entry, end = sentenceEnd(mark.entry); e < end; ++e)
            bySource.push_back({entries_[e].source, stretch});
    }
    result.stretches = joined(std::move(all));
    result.markedChars = totalLength(result.stretches);
    std::stable_sort(bySource.begin(), bySource.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < bySource.size();) {
        size_t j = i;
        std::vector<Stretch> own;
        for (; j < bySource.size() && bySource[j].first == bySource[i].first; ++j)
            own.push_back(bySource[j].second);
        SourceFinds finds{bySource[i].first, 0, joined(std::move(own)), 0, 0, {}};
        finds.chars = totalLength(finds.stretches);
        for (const Stretch& stretch : finds.stretches)
            finds.passages.push_back({Level::Sentence, stretch, -1, 0});
        result.sources.push_back(std::move(finds));
        i = j;
    }
    return result;
}

std::vector<Stretch> outside(const std::vector<Stretch>& joinedStretches,
                             const std::vector<Stretch>& excluded)
{
    std::vector<Stretch> out;
    auto cut = excluded.begin();
    for (const Stretch& s : joinedStretches) {
        qsizetype from = s.start;
        const qsizetype end = s.start + s.length;
        while (cut != excluded.end() && cut->start + cut->length <= from)
            ++cut;
        for (auto c = cut; c != excluded.end() && c->start < end; ++c) {
            if (c->start > from)
                out.push_back({from, c->start - from});
            from = std::max(from, c->start + c->length);
        }
        if (from < end)
            out.push_back({from, end - from});
    }
    return out;
}

namespace {

Stretch paperStretch(const matching::FoldedText& folded, qsizetype first, qsizetype count)
{
    return {folded.starts[size_t(first)],
            folded.ends[size_t(first + count - 1)] - folded.starts[size_t(first)]};
}

// Passages of one level, each paper stretch once (at its first place in the source).
void addPassages(std::vector<Passage>& passages, std::vector<Passage> found)
{
    std::stable_sort(found.begin(), found.end(), [](const Passage& a, const Passage& b) {
        return a.paper.start != b.paper.start ? a.paper.start < b.paper.start
                                              : a.paper.length < b.paper.length;
    });
    for (size_t i = 0; i < found.size(); ++i) {
        if (i > 0 && found[i].paper == found[i - 1].paper)
            continue;
        passages.push_back(found[i]);
    }
}

SourceFinds& findsFor(std::vector<SourceFinds>& sources, qint32 source)
{
    auto it = std::lower_bound(sources.begin(), sources.end(), source,
                               [](const SourceFinds& f, qint32 s) { return f.source < s; });
    if (it == sources.end() || it->source != source)
        it = sources.insert(it, SourceFinds{source, 0, {}, 0, 0, {}});
    return *it;
}

}  // namespace

void LibraryTable::addRuns(LibraryResult& result, QStringView paper, const RunSettings& settings) const
{
    const int n = std::clamp(settings.runLength, matching::kMinRun, matching::kMaxRun);
    result.runLength = n;
    result.reworded = settings.thesaurus != nullptr;
    const matching::FoldedText folded = matching::foldText(paper);
    std::vector<std::vector<Passage>> literalOf(runs_.sources().size());
    std::vector<std::vector<Passage>> rewordedOf(runs_.sources().size());
    std::vector<matching::FoundRun> literalRuns;
    std::vector<matching::RewordedRun> rewordedRuns;
    if (settings.thesaurus && !runs_.hasFingerprints()) {
        // No fingerprints: one walk of each source finds both levels.
        matching::findLiteralAndReworded(*settings.thesaurus, runs_.sources(), folded.content, n, literalRuns,
                                         rewordedRuns);
    } else {
        literalRuns = runs_.find(folded.content, n);
        if (settings.thesaurus)
            rewordedRuns = matching::findReworded(*settings.thesaurus, runs_.sources(), folded.content, n);
    }
    for (const matching::FoundRun& run : literalRuns)
        literalOf[size_t(run.source)].push_back(
            {Level::Literal, paperStretch(folded, run.paper, run.length), run.at, run.length});
    for (const matching::RewordedRun& run : rewordedRuns)
        rewordedOf[size_t(run.source)].push_back(
            {Level::Reworded, paperStretch(folded, run.paper, run.paperLength), run.at, run.length});
    std::vector<Stretch> allLiteral;
    std::vector<Stretch> allReworded;
    for (size_t s = 0; s < literalOf.size(); ++s) {
        if (literalOf[s].empty() && rewordedOf[s].empty())
            continue;
        std::vector<Stretch> literal;
        for (const Passage& p : literalOf[s])
            literal.push_back(p.paper);
        literal = joined(std::move(literal));
        std::vector<Stretch> reworded;
        for (const Passage& p : rewordedOf[s])
            reworded.push_back(p.paper);
        reworded = outside(joined(std::move(reworded)), literal);
        // A reworded run that its source's literal runs cover whole is no find of its own.
        std::erase_if(rewordedOf[s], [&](const Passage& p) { return outside({p.paper}, literal).empty(); });
        if (literal.empty() && reworded.empty())
            continue;
        allLiteral.insert(allLiteral.end(), literal.begin(), literal.end());
        allReworded.insert(allReworded.end(), reworded.begin(), reworded.end());
        SourceFinds& finds = findsFor(result.sources, qint32(s));
        finds.literalChars = totalLength(literal);
        finds.rewordedChars = totalLength(reworded);
        addPassages(finds.passages, std::move(literalOf[s]));
        addPassages(finds.passages, std::move(rewordedOf[s]));
        std::stable_sort(
            finds.passages.begin(), finds.passages.end(), [](const Passage& a, const Passage& b) {
                return a.paper.start != b.paper.start ? a.paper.start < b.paper.start : a.level < b.level;
            });
    }
    result.literal = joined(std::move(allLiteral));
    result.literalChars = totalLength(result.literal);
    result.rewordedStretches = outside(joined(std::move(allReworded)), result.literal);
    result.rewordedChars = totalLength(result.rewordedStretches);
}

std::vector<SourceRow> sourceRows(const LibraryResult& result, const QStringList& paths)
{
    std::vector<SourceRow> rows;
    for (const SourceFinds& finds : result.sources)
        rows.push_back({finds.source, paths.value(finds.source), finds.chars,
                        roundedPercent(finds.chars, result.paperLength), finds.literalChars,
                        finds.rewordedChars});
    std::sort(rows.begin(), rows.end(), [](const SourceRow& a, const SourceRow& b) {
        if (a.literalChars != b.literalChars)
            return a.literalChars > b.literalChars;
        return a.chars != b.chars ? a.chars > b.chars : a.path < b.path;
    });
    return rows;
}

QString libraryCaption(const LibraryResult& result)
{
    const auto n = [](qint64 v) { return QString::number(v); };
    const auto bySentence = std::count_if(result.sources.begin(), result.sources.end(),
                                          [](const SourceFinds& f) { return f.chars > 0; });
    QString caption = QStringLiteral(u"你的文章一共 ") + n(result.paperLength) + QStringLiteral(u" 字，其中 ")
        + n(result.markedChars) + QStringLiteral(u" 字与文献库中 ") + n(static_cast<qint64>(bySentence))
        + QStringLiteral(u" 篇文献重复\r\n        重复部分占你的文章的： ")
        + n(roundedPercent(result.markedChars, result.paperLength)) + QStringLiteral(u" %");
    if (result.runLength > 0)
        caption += QStringLiteral("\r\n") + runsCaption(result);
    return caption;
}

QString runsCaption(const LibraryResult& result)
{
    if (result.runLength <= 0)
        return {};
    const auto n = [](qint64 v) { return QString::number(v); };
    QString line = QStringLiteral(u"        连续") + n(result.runLength) + QStringLiteral(u"字以上相同：")
        + n(result.literalChars) + QStringLiteral(u" 字（")
        + n(roundedPercent(result.literalChars, result.paperLength)) + QStringLiteral(u" %）");
    if (result.reworded)
        line += QStringLiteral(u"，疑似改写：") + n(result.rewordedChars) + QStringLiteral(u" 字（")
            + n(roundedPercent(result.rewordedChars, result.paperLength)) + QStringLiteral(u" %）");
    return line;
}

}  // namespace comparer::library
