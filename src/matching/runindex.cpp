#include "matching/runindex.h"

#include "matching/papersearch.h"
#include "matching/parallel.h"

#include <QSysInfo>
#include <QtEndian>

#include <algorithm>
#include <bit>
#include <functional>
#include <limits>
#include <thread>
#include <unordered_map>

namespace matching {

std::vector<quint32> gramHashes(std::u32string_view text)
{
    std::vector<quint32> hashes;
    if (text.size() < size_t(kGram))
        return hashes;
    hashes.resize(text.size() - kGram + 1);
    for (size_t i = 0; i < hashes.size(); ++i)
        hashes[i] = gramHash(text.data() + i);
    return hashes;
}

void RunIndex::setSources(std::vector<Content> sources)
{
    sources_ = std::move(sources);
    starts_.assign(1, 0);
    for (const Content& c : sources_) {
        const quint64 size = c ? c->size() : 0;
        const quint64 end = starts_.back() + size;
        // The places are kept in 32 bits: a source beyond them counts as empty.
        starts_.push_back(end <= std::numeric_limits<quint32>::max() ? end : starts_.back());
    }
}

qint32 RunIndex::sourceAt(quint32 at) const
{
    return static_cast<qint32>(std::upper_bound(starts_.begin(), starts_.end(), quint64(at)) - starts_.begin()
                               - 1);
}

RunIndex::RunIndex(std::vector<Content> sources, bool fingerprints)
{
    setSources(std::move(sources));
    fingerprinted_ = fingerprints;
    if (!fingerprints)
        return;
    // Each source's fingerprints, robust winnowing: a window keeps the
    // fingerprint of the window before when that is still its smallest hash,
    // else takes its rightmost smallest.
    std::vector<std::vector<Entry>> perSource(sources_.size());
    inParallel(sources_.size(), [&](size_t s) {
        const quint64 base = starts_[s];
        const quint64 size = starts_[s + 1] - base;
        if (size < quint64(kGram))
            return;
        const std::vector<quint32> h = gramHashes(std::u32string_view(*sources_[s]).substr(0, size));
        std::vector<Entry>& out = perSource[s];
        out.reserve(h.size() * 2 / (kWindow + 1) + 1);
        const size_t n = h.size();
        const size_t window = std::min<size_t>(kWindow, n);
        size_t selected = std::numeric_limits<size_t>::max();
        for (size_t j = 0; j + window <= n; ++j) {
            size_t m = j + window - 1;
            for (size_t i = m; i-- > j;) {
                if (h[i] < h[m])
                    m = i;
            }
            if (selected != std::numeric_limits<size_t>::max() && selected >= j && h[selected] == h[m])
                continue;
            if (m != selected) {
                selected = m;
                out.push_back({h[m], static_cast<quint32>(base + m)});
            }
        }
    });
    // Into buckets by the hash's top bits, each bucket sorted on its own.
    constexpr int kBucketBits = 16;
    std::vector<size_t> bucketStart((size_t(1) << kBucketBits) + 1, 0);
    for (const auto& entries : perSource) {
        for (const Entry& e : entries)
            ++bucketStart[(e.hash >> (32 - kBucketBits)) + 1];
    }
    for (size_t b = 1; b < bucketStart.size(); ++b)
        bucketStart[b] += bucketStart[b - 1];
    entries_.resize(bucketStart.back());
    {
        std::vector<size_t> fill(bucketStart.begin(), bucketStart.end() - 1);
        for (auto& entries : perSource) {
            for (const Entry& e : entries)
                entries_[fill[e.hash >> (32 - kBucketBits)]++] = e;
            std::vector<Entry>().swap(entries);
        }
    }
    const size_t buckets = bucketStart.size() - 1;
    const size_t parts = workerCount();
    inParallel(parts, [&](size_t part) {
        for (size_t b = buckets * part / parts; b < buckets * (part + 1) / parts; ++b)
            std::sort(entries_.begin() + qsizetype(bucketStart[b]),
                      entries_.begin() + qsizetype(bucketStart[b + 1]), [](const Entry& a, const Entry& e) {
                          return a.hash != e.hash ? a.hash < e.hash : a.at < e.at;
                      });
    });
    // A hash shared by more than kCap fingerprints keeps its first kCap.
    size_t kept = 0;
    for (size_t i = 0; i < entries_.size();) {
        size_t j = i;
        while (j < entries_.size() && entries_[j].hash == entries_[i].hash)
            ++j;
        for (size_t e = i; e < std::min(j, i + kCap); ++e)
            entries_[kept++] = entries_[e];
        i = j;
    }
    entries_.resize(kept);
    entries_.shrink_to_fit();
    buildDirectory();
}

void RunIndex::buildDirectory()
{
    const int bits = std::clamp(int(std::bit_width(entries_.size() / 2)), 4, 24);
    directoryShift_ = 32 - bits;
    directory_.assign((size_t(1) << bits) + 1, 0);
    for (const Entry& e : entries_)
        ++directory_[(e.hash >> directoryShift_) + 1];
    for (size_t b = 1; b < directory_.size(); ++b)
        directory_[b] += directory_[b - 1];
}

std::vector<FoundRun> RunIndex::find(std::u32string_view paper, int minRun) const
{
    if (!fingerprinted_)
        return findLiteral(sources_, paper, minRun);
    minRun = std::clamp(minRun, kMinRun, kMaxRun);
    std::vector<FoundRun> runs;
    if (entries_.empty() || paper.size() < size_t(minRun))
        return runs;
    const std::vector<quint32> hashes = gramHashes(paper);
    // The paper's end of the run found on each diagonal (source place minus
    // paper place), and per source the ends of its runs that may still cover
    // the places to come.
    std::unordered_map<qint64, qsizetype> diagonalEnd;
    std::unordered_map<qint32, std::vector<qsizetype>> openEnds;
    for (qsizetype i = 0; i < qsizetype(hashes.size()); ++i) {
        const quint32 h = hashes[size_t(i)];
        const quint32 bucket = h >> directoryShift_;
        auto e =
            std::lower_bound(entries_.begin() + directory_[bucket], entries_.begin() + directory_[bucket + 1],
                             h, [](const Entry& x, quint32 v) { return x.hash < v; });
        const auto bucketEnd = entries_.begin() + directory_[bucket + 1];
        qint32 source = -1;
        quint64 sourceEnd = 0;
        for (; e != bucketEnd && e->hash == h; ++e) {
            const qint64 diagonal = qint64(e->at) - i;
            if (const auto d = diagonalEnd.find(diagonal); d != diagonalEnd.end() && d->second > i)
                continue;
            if (e->at >= sourceEnd) {
                source = sourceAt(e->at);
                sourceEnd = starts_[size_t(source) + 1];
            }
            std::vector<qsizetype>& ends = openEnds[source];
            while (!ends.empty() && ends.front() <= i) {
                std::pop_heap(ends.begin(), ends.end(), std::greater<>());
                ends.pop_back();
            }
            if (ends.size() >= size_t(kDepth)) {
                // This place lies in many runs of this source already: on to the next source.
                while (std::next(e) != bucketEnd && std::next(e)->hash == h && std::next(e)->at < sourceEnd)
                    ++e;
                continue;
            }
            const std::u32string& text = *sources_[size_t(source)];
            const qsizetype at = qsizetype(e->at - starts_[size_t(source)]);
            const qsizetype size = qsizetype(sourceEnd - starts_[size_t(source)]);
            const auto [left, right] =
                agreementAt(paper, i, std::u32string_view(text).substr(0, size_t(size)), at);
            if (left + right < minRun)
                continue;
            diagonalEnd[diagonal] = i + right;
            ends.push_back(i + right);
            std::push_heap(ends.begin(), ends.end(), std::greater<>());
            runs.push_back({source, i - left, at - left, left + right});
        }
    }
    std::sort(runs.begin(), runs.end(), [](const FoundRun& a, const FoundRun& b) {
        if (a.source != b.source)
            return a.source < b.source;
        return a.paper != b.paper ? a.paper < b.paper : a.at < b.at;
    });
    return runs;
}

namespace {
constexpr qsizetype kEntryBytes = 8;  // hash, place; little-endian
}  // namespace

QByteArray RunIndex::fingerprintBytes() const
{
    QByteArray bytes(qsizetype(entries_.size()) * kEntryBytes, Qt::Uninitialized);
    char* p = bytes.data();
    for (const Entry& e : entries_) {
        qToLittleEndian(e.hash, p);
        qToLittleEndian(e.at, p + 4);
        p += kEntryBytes;
    }
    return bytes;
}

std::optional<RunIndex> RunIndex::fromBytes(std::vector<Content> sources, QByteArrayView bytes)
{
    if (bytes.size() % kEntryBytes != 0)
        return std::nullopt;
    Entries entries(size_t(bytes.size() / kEntryBytes));
    const char* p = bytes.data();
    for (Entry& e : entries) {
        e = {qFromLittleEndian<quint32>(p), qFromLittleEndian<quint32>(p + 4)};
        p += kEntryBytes;
    }
    return fromEntries(std::move(sources), std::move(entries));
}

// The fingerprints go from the file into their array (in large pages) in one
// read, with no buffer between: 16 million of them (50 M characters of manual
// pages) were read in 0.37 s and copied and checked in 0.68 s through a
// QByteArray, and are read and checked in 0.15 s so.
std::optional<RunIndex> RunIndex::read(std::vector<Content> sources, QIODevice& device, quint64 bytes)
{
    if (bytes % kEntryBytes != 0 || bytes > quint64(std::numeric_limits<qint64>::max()))
        return std::nullopt;
    Entries entries(size_t(bytes / kEntryBytes));
    if (device.read(reinterpret_cast<char*>(entries.data()), qint64(bytes)) != qint64(bytes))
        return std::nullopt;
    if constexpr (QSysInfo::ByteOrder != QSysInfo::LittleEndian) {
        for (Entry& e : entries)
            e = {qFromLittleEndian(e.hash), qFromLittleEndian(e.at)};
    }
    return fromEntries(std::move(sources), std::move(entries));
}

// Empty unless the entries are in order and every place lies in the sources.
std::optional<RunIndex> RunIndex::fromEntries(std::vector<Content> sources, Entries entries)
{
    RunIndex index;
    index.setSources(std::move(sources));
    const quint64 total = index.starts_.back();
    for (size_t k = 0; k < entries.size(); ++k) {
        const Entry& e = entries[k];
        if (quint64(e.at) + kGram > total)
            return std::nullopt;
        if (k > 0
            && (e.hash < entries[k - 1].hash || (e.hash == entries[k - 1].hash && e.at <= entries[k - 1].at)))
            return std::nullopt;  // not in order: not ours
    }
    index.entries_ = std::move(entries);
    index.buildDirectory();
    index.fingerprinted_ = true;
    return index;
}

}  // namespace matching
