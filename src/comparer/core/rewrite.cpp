#include "comparer/core/rewrite.h"

#include "platform/core/gbk.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <queue>
#include <random>
#include <unordered_map>
#include <vector>

namespace comparer {

namespace {

quint64 splitMix64(quint64 x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

double unitInterval(quint64 bits) { return static_cast<double>(bits >> 11) * 0x1.0p-53; }

// The thesaurus entries, each with the entry drawn to replace it, packed
// small: the rewrite visits them in an order no cache predicts, and their
// texts are views into the lines, stored back to back.
class Entries {
public:
    struct Entry {
        quint32 text = 0;  // offset into the stored lines
        quint32 textLength = 0;
        quint32 replacement = 0;
        quint32 replacementLength = 0;
        bool replaces = false;  // false: no candidate (one-entry line) or no change
    };

    Entries(const QStringList& lines, const RandomSource& random)
    {
        qsizetype total = 0;
        for (const QString& line : lines)
            total += line.size();
        chars_.reserve(total);
        std::vector<Entry> group;
        for (const QString& line : lines) {
            group.clear();
            const auto base = static_cast<quint32>(chars_.size());
            chars_ += line;
            qsizetype begin = 0;
            for (qsizetype comma = line.indexOf(u',');; comma = line.indexOf(u',', begin)) {
                const qsizetype end = comma < 0 ? line.size() : comma;
                group.push_back(
                    {static_cast<quint32>(base + begin), static_cast<quint32>(end - begin), 0, 0, false});
                if (comma < 0)
                    break;
                begin = comma + 1;
            }
            drawReplacements(group, random);
            entries_.insert(entries_.end(), group.begin(), group.end());
        }
    }

    int size() const { return static_cast<int>(entries_.size()); }
    const Entry& operator[](int e) const { return entries_[e]; }
    QStringView text(int e) const { return view(entries_[e].text, entries_[e].textLength); }
    QStringView replacement(int e) const
    {
        return view(entries_[e].replacement, entries_[e].replacementLength);
    }

private:
    QStringView view(quint32 offset, quint32 length) const { return QStringView(chars_).mid(offset, length); }

    void drawReplacements(std::vector<Entry>& group, const RandomSource& random) const
    {
        const int last = static_cast<int>(group.size()) - 1;
        for (Entry& entry : group) {
            const double r = random();  // drawn for every entry, found or not
            if (last < 1 || entry.textLength == 0)
                continue;
            const Entry& drawn = group[drawReplacement(r, last)];
            entry.replacement = drawn.text;
            entry.replacementLength = drawn.textLength;
            entry.replaces = view(drawn.text, drawn.textLength) != view(entry.text, entry.textLength);
        }
    }

    QString chars_;
    std::vector<Entry> entries_;
};

// A 64-bit summary of the characters and pairs in a piece of text: each sets
// one bit. An entry whose first and last pair (or single character) have
// their bits set in a segment's summary may occur there; otherwise it surely
// does not, and its text need not be looked at.
quint64 gramBit(QChar a, QChar b)
{
    const quint32 key = (quint32(a.unicode()) << 16) | b.unicode();
    return 1ULL << ((key * 0x9E3779B1u) >> 26);
}
quint64 charBit(QChar c) { return 1ULL << (((c.unicode() + 0x5bd1u) * 0x85EBCA6Bu) >> 26); }
quint64 signatureOf(QStringView text)
{
    quint64 bits = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        bits |= charBit(text[i]);
        if (i + 1 < text.size())
            bits |= gramBit(text[i], text[i + 1]);
    }
    return bits;
}
// The bits an entry needs in a segment's summary.
quint64 entryNeeds(QStringView text)
{
    if (text.isEmpty())
        return 0;
    if (text.size() == 1)
        return charBit(text[0]);
    return gramBit(text[0], text[1]) | gramBit(text[text.size() - 2], text[text.size() - 1]);
}

// Entries are looked up by their first two characters (or their only one).
// Posting lists are found without a general hash map: single characters index
// an array, pairs go through a compact open-addressing table, so that the
// lookups done for every character of the text stay in the cache.
class PostingIndex {
public:
    struct Item {
        int entry;
        quint64 needs;  // entryNeeds() of its text
    };
    struct Posting {
        std::vector<Item> entries;  // ascending
        mutable int queuedFor = 0;  // the segment whose queue holds a cursor for it
    };

    explicit PostingIndex(const Entries& entries)
    {
        std::unordered_map<quint32, int> pairs;
        for (int e = 0; e < entries.size(); ++e) {
            const QStringView t = entries.text(e);
            int* slot = t.isEmpty() ? &empty_
                : t.size() == 1     ? &byChar_[t[0].unicode()]
                                    : &pairs.try_emplace(pairKey(t[0], t[1]), -1).first->second;
            if (*slot < 0) {
                *slot = static_cast<int>(postings_.size());
                postings_.emplace_back();
            }
            postings_[*slot].entries.push_back({e, entryNeeds(t)});
        }
        size_t capacity = 16;
        while (capacity < 2 * pairs.size())
            capacity *= 2;
        mask_ = static_cast<quint32>(capacity - 1);
        pairTable_.assign(capacity, PairSlot{0, -1});
        for (const auto& [key, posting] : pairs) {
            quint32 i = hash(key);
            while (pairTable_[i].posting >= 0)
                i = (i + 1) & mask_;
            pairTable_[i] = {key, posting};
        }
    }

    const Posting* single(QChar c) const { return at(byChar_[c.unicode()]); }
    const Posting* emptyEntries() const { return at(empty_); }
    const Posting* pair(QChar a, QChar b) const
    {
        const quint32 key = pairKey(a, b);
        for (quint32 i = hash(key); pairTable_[i].posting >= 0; i = (i + 1) & mask_) {
            if (pairTable_[i].key == key)
                return &postings_[pairTable_[i].posting];
        }
        return nullptr;
    }

private:
    static quint32 pairKey(QChar a, QChar b) { return (quint32(a.unicode()) << 16) | b.unicode(); }
    quint32 hash(quint32 key) const { return (key * 0x9E3779B1u >> 7) & mask_; }
    const Posting* at(int slot) const { return slot < 0 ? nullptr : &postings_[slot]; }

    std::vector<Posting> postings_;
    std::vector<int> byChar_ = std::vector<int>(0x10000, -1);
    int empty_ = -1;
    struct PairSlot {
        quint32 key;
        int posting;  // -1: free
    };
    std::vector<PairSlot> pairTable_;
    quint32 mask_ = 0;
};

// Replaces every non-overlapping occurrence, left to right, and notes where
// each replacement landed in the result. `scratch` is reused from call to
// call, so that a segment rewritten many times does not allocate each time.
void replaceAll(QString& text, QStringView from, QStringView to, std::vector<qsizetype>& insertedAt,
                QString& scratch)
{
    insertedAt.clear();
    scratch.resize(0);
    qsizetype pos = 0;
    for (qsizetype hit = text.indexOf(from); hit >= 0; hit = text.indexOf(from, pos)) {
        scratch += QStringView(text).mid(pos, hit - pos);
        insertedAt.push_back(scratch.size());
        scratch += to;
        pos = hit + from.size();
    }
    scratch += QStringView(text).mid(pos);
    text.swap(scratch);
}

// The rewrite works segment by segment. A character that occurs in no entry
// can never be matched, inserted or removed, so the text between two such
// characters is rewritten independently of the rest. Within a segment, only
// entries whose first two characters (or only one) occur there are tried, in
// entry order; a replacement adds the entries its new text makes possible.
class SegmentRewriter {
public:
    SegmentRewriter(const Entries& entries, bool emptyEntriesAlwaysFound, std::vector<char>& found)
        : entries_(entries), found_(found), emptyAlwaysFound_(emptyEntriesAlwaysFound), postings_(entries)
    { }

    QString rewrite(QString segment) const
    {
        Candidates candidates(postings_, ++segmentsSeen_);
        candidates.addKeys(segment, 0, segment.size(), -1);
        if (!segment.isEmpty() && !emptyAlwaysFound_)
            candidates.add(postings_.emptyEntries(), -1);
        quint64 present = signatureOf(segment);
        std::vector<qsizetype> insertedAt;
        QString scratch;
        while (!candidates.empty()) {
            const PostingIndex::Item next = candidates.takeNext();
            if (next.needs & ~present)
                continue;
            const int e = next.entry;
            const QStringView text = entries_.text(e);
            const bool occurs = text.isEmpty() ? !segment.isEmpty() : segment.contains(text);
            if (!occurs)
                continue;
            found_[e] = 1;
            if (!entries_[e].replaces)
                continue;
            const QStringView replacement = entries_.replacement(e);
            replaceAll(segment, text, replacement, insertedAt, scratch);
            for (qsizetype at : insertedAt)
                candidates.addKeys(segment, at, replacement.size(), e);
            present = signatureOf(segment);
        }
        return segment;
    }

private:
    using Posting = PostingIndex::Posting;

    // Entries still to try, smallest first: one cursor per posting list whose
    // key occurs (or occurred) in the segment. Entries whose key has gone are
    // weeded out by the real search.
    class Candidates {
    public:
        Candidates(const PostingIndex& postings, int segment) : postings_(postings), segment_(segment) { }

        bool empty() const { return queue_.empty(); }

        PostingIndex::Item takeNext()
        {
            const Cursor top = queue_.top();
            queue_.pop();
            if (top.index + 1 < top.list->size())
                queue_.push({(*top.list)[top.index + 1].entry, top.list, top.index + 1});
            return (*top.list)[top.index];
        }

        // A key already queued keeps its cursor: it already covers every later entry.
        void add(const Posting* posting, int done)
        {
            if (!posting || posting->queuedFor == segment_)
                return;
            posting->queuedFor = segment_;
            const auto& list = posting->entries;
            const auto next =
                std::upper_bound(list.begin(), list.end(), done,
                                 [](int d, const PostingIndex::Item& item) { return d < item.entry; });
            if (next != list.end())
                queue_.push({next->entry, &list, static_cast<size_t>(next - list.begin())});
        }

        // The keys of the characters [from, from + length) and of every pair
        // that touches them (for length 0, the pair around `from`).
        void addKeys(QStringView text, qsizetype from, qsizetype length, int done)
        {
            for (qsizetype i = from; i < from + length; ++i)
                add(postings_.single(text[i]), done);
            for (qsizetype i = std::max<qsizetype>(from - 1, 0); i < from + length && i + 1 < text.size();
                 ++i)
                add(postings_.pair(text[i], text[i + 1]), done);
        }

    private:
        struct Cursor {
            int entry;  // (*list)[index].entry, kept here for cheap comparisons
            const std::vector<PostingIndex::Item>* list;
            size_t index;
            bool operator>(const Cursor& o) const { return entry > o.entry; }
        };
        const PostingIndex& postings_;
        std::priority_queue<Cursor, std::vector<Cursor>, std::greater<Cursor>> queue_;
        int segment_;
    };

    const Entries& entries_;
    std::vector<char>& found_;
    bool emptyAlwaysFound_;
    PostingIndex postings_;
    mutable int segmentsSeen_ = 0;
};

}  // namespace

RandomSource clockRandom()
{
    return [] {
        const auto now = std::chrono::high_resolution_clock::now().time_since_epoch().count();
        return unitInterval(splitMix64(static_cast<quint64>(now)));
    };
}

RandomSource seededRandom(quint64 seed)
{
    auto engine = std::make_shared<std::mt19937_64>(seed);
    return [engine] { return unitInterval((*engine)()); };
}

int drawReplacement(double r, int lastIndex)
{
    const int k = static_cast<int>(r * lastIndex + 1);
    return std::clamp(k, 1, lastIndex);
}

QStringList thesaurusLines(QStringView text)
{
    QStringList lines;
    qsizetype begin = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\r')
            continue;
        lines.append(text.mid(begin, i - begin).toString());
        if (i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        begin = i + 1;
    }
    if (begin < text.size())
        lines.append(text.mid(begin).toString());
    return lines;
}

Result<Thesaurus> readThesaurus(const QString& path, const std::function<void()>& beforeEachLine)
{
    if (!QFileInfo(path).isFile())
        return Thesaurus{Thesaurus::State::Missing, {}};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return failure(file.errorString());
    bool valid = false;
    const QString text = gbk::decode(bytes, &valid);
    if (!valid)
        return Thesaurus{Thesaurus::State::Damaged, {}};
    Thesaurus thesaurus{Thesaurus::State::Read, thesaurusLines(text)};
    if (beforeEachLine) {
        for (qsizetype i = 0; i < thesaurus.lines.size(); ++i)
            beforeEachLine();
    }
    return thesaurus;
}

RewriteResult rewriteText(const QString& text, const QStringList& lines, const RandomSource& random)
{
    const Entries entries(lines, random);
    std::vector<bool> inSomeEntry(0x10000, false);
    for (int e = 0; e < entries.size(); ++e) {
        for (QChar c : entries.text(e))
            inSomeEntry[c.unicode()] = true;
    }
    // Split at the characters no entry holds; they stay where they are.
    QList<QStringView> segments;
    QString separators;
    qsizetype begin = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!inSomeEntry[text[i].unicode()]) {
            segments.append(QStringView(text).mid(begin, i - begin));
            separators.append(text[i]);
            begin = i + 1;
        }
    }
    segments.append(QStringView(text).mid(begin));

    // With a separator the text can never become empty: empty entries always occur.
    const bool emptyAlwaysFound = !separators.isEmpty();
    std::vector<char> found(entries.size(), 0);
    const SegmentRewriter rewriter(entries, emptyAlwaysFound, found);
    RewriteResult result;
    result.text.reserve(text.size());
    for (qsizetype s = 0; s < segments.size(); ++s) {
        result.text += rewriter.rewrite(segments[s].toString());
        if (s < separators.size())
            result.text += separators[s];
    }
    for (int e = 0; e < entries.size(); ++e) {
        if (found[e] || (emptyAlwaysFound && entries[e].textLength == 0))
            ++result.found;
    }
    return result;
}

RewriteResult rewriteTextNaive(const QString& text, const QStringList& lines, const RandomSource& random)
{
    RewriteResult result{text, 0};
    for (const QString& line : lines) {
        const QStringList group = line.split(u',');
        const int last = static_cast<int>(group.size()) - 1;
        for (const QString& entry : group) {
            const double r = random();
            const bool occurs = entry.isEmpty() ? !result.text.isEmpty() : result.text.contains(entry);
            if (!occurs)
                continue;
            ++result.found;
            if (last >= 1 && !entry.isEmpty())
                result.text.replace(entry, group[drawReplacement(r, last)]);
        }
    }
    return result;
}

}  // namespace comparer
