#include "rewrite.h"

#include "gbk.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

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

double unitInterval(quint64 bits)
{
    return static_cast<double>(bits >> 11) * 0x1.0p-53;
}

// One thesaurus entry with the entry drawn to replace it.
struct Entry {
    QString text;
    QString replacement;
    bool replaces = false;  // false: no candidate (one-entry line) or no change
};

std::vector<Entry> flattenEntries(const QStringList& lines, const RandomSource& random)
{
    std::vector<Entry> entries;
    for (const QString& line : lines) {
        const QStringList group = line.split(u',');
        const int last = static_cast<int>(group.size()) - 1;
        for (const QString& text : group) {
            const double r = random();  // drawn for every entry, found or not
            Entry e{text, {}, false};
            if (last >= 1 && !text.isEmpty()) {
                e.replacement = group[drawReplacement(r, last)];
                e.replaces = e.replacement != text;
            }
            entries.push_back(std::move(e));
        }
    }
    return entries;
}

// Entries are looked up by their first two characters (or their only one).
constexpr quint64 kEmptyKey = ~0ULL;
quint64 keyOf(QStringView s)
{
    if (s.isEmpty())
        return kEmptyKey;
    if (s.size() == 1)
        return s[0].unicode();
    return (1ULL << 32) | (quint64(s[0].unicode()) << 16) | s[1].unicode();
}

// Replaces every non-overlapping occurrence, left to right, and notes where
// each replacement landed in the result.
QString replaceAll(const QString& text, const QString& from, const QString& to,
                   QList<qsizetype>* insertedAt)
{
    QString out;
    out.reserve(text.size());
    qsizetype pos = 0;
    for (qsizetype hit = text.indexOf(from); hit >= 0; hit = text.indexOf(from, pos)) {
        out += QStringView(text).mid(pos, hit - pos);
        insertedAt->append(out.size());
        out += to;
        pos = hit + from.size();
    }
    out += QStringView(text).mid(pos);
    return out;
}

// The rewrite works segment by segment. A character that occurs in no entry
// can never be matched, inserted or removed, so the text between two such
// characters is rewritten independently of the rest. Within a segment, only
// entries whose first two characters (or only one) occur there are tried, in
// entry order; a replacement adds the entries its new text makes possible.
class SegmentRewriter {
public:
    SegmentRewriter(const std::vector<Entry>& entries, bool emptyEntriesAlwaysFound,
                    std::vector<char>& found)
        : entries_(entries), found_(found), emptyAlwaysFound_(emptyEntriesAlwaysFound)
    {
        for (int e = 0; e < static_cast<int>(entries.size()); ++e)
            postings_[keyOf(entries[e].text)].entries.push_back(e);
    }

    QString rewrite(QString segment) const
    {
        Candidates candidates(postings_, ++segmentsSeen_);
        candidates.addKeys(segment, 0, segment.size(), -1);
        if (!segment.isEmpty() && !emptyAlwaysFound_)
            candidates.add(kEmptyKey, -1);
        while (!candidates.empty()) {
            const int e = candidates.takeNext();
            const Entry& entry = entries_[e];
            const bool occurs = entry.text.isEmpty() ? !segment.isEmpty()
                                                     : segment.contains(entry.text);
            if (!occurs)
                continue;
            found_[e] = 1;
            if (!entry.replaces)
                continue;
            QList<qsizetype> insertedAt;
            segment = replaceAll(segment, entry.text, entry.replacement, &insertedAt);
            for (qsizetype at : insertedAt)
                candidates.addKeys(segment, at, entry.replacement.size(), e);
        }
        return segment;
    }

private:
    struct Posting {
        std::vector<int> entries;  // ascending
        mutable int queuedFor = 0;  // the segment whose queue holds a cursor for it
    };
    using Postings = std::unordered_map<quint64, Posting>;

    // Entries still to try, smallest first: one cursor per posting list whose
    // key occurs (or occurred) in the segment. Entries whose key has gone are
    // weeded out by the real search.
    class Candidates {
    public:
        Candidates(const Postings& postings, int segment) : postings_(postings), segment_(segment) {}

        bool empty() const { return queue_.empty(); }

        int takeNext()
        {
            const Cursor top = queue_.top();
            queue_.pop();
            if (top.index + 1 < top.list->size())
                queue_.push({(*top.list)[top.index + 1], top.list, top.index + 1});
            return top.entry;
        }

        // A key already queued keeps its cursor: it already covers every later entry.
        void add(quint64 key, int done)
        {
            const auto it = postings_.find(key);
            if (it == postings_.end() || it->second.queuedFor == segment_)
                return;
            it->second.queuedFor = segment_;
            const std::vector<int>& list = it->second.entries;
            const auto next = std::upper_bound(list.begin(), list.end(), done);
            if (next != list.end())
                queue_.push({*next, &list, static_cast<size_t>(next - list.begin())});
        }

        // The keys of the characters [from, from + length) and of every pair
        // that touches them (for length 0, the pair around `from`).
        void addKeys(QStringView text, qsizetype from, qsizetype length, int done)
        {
            for (qsizetype i = from; i < from + length; ++i)
                add(keyOf(text.mid(i, 1)), done);
            for (qsizetype i = std::max<qsizetype>(from - 1, 0);
                 i < from + length && i + 1 < text.size(); ++i)
                add(keyOf(text.mid(i, 2)), done);
        }

    private:
        struct Cursor {
            int entry;  // (*list)[index], kept here for cheap comparisons
            const std::vector<int>* list;
            size_t index;
            bool operator>(const Cursor& o) const { return entry > o.entry; }
        };
        const Postings& postings_;
        std::priority_queue<Cursor, std::vector<Cursor>, std::greater<Cursor>> queue_;
        int segment_;
    };

    const std::vector<Entry>& entries_;
    std::vector<char>& found_;
    bool emptyAlwaysFound_;
    Postings postings_;
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

ThesaurusStatus readThesaurus(const QString& path, QStringList* lines, QString* error,
                              const std::function<void()>& beforeEachLine)
{
    if (!QFileInfo(path).isFile())
        return ThesaurusStatus::Missing;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return ThesaurusStatus::Unreadable;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return ThesaurusStatus::Unreadable;
    }
    bool valid = false;
    const QString text = gbk::decode(bytes, &valid);
    if (!valid) {
        *error = QStringLiteral("not valid GBK text");
        return ThesaurusStatus::InvalidEncoding;
    }
    *lines = thesaurusLines(text);
    if (beforeEachLine) {
        for (qsizetype i = 0; i < lines->size(); ++i)
            beforeEachLine();
    }
    return ThesaurusStatus::Ok;
}

RewriteResult rewriteText(const QString& text, const QStringList& lines,
                          const RandomSource& random)
{
    const std::vector<Entry> entries = flattenEntries(lines, random);
    std::vector<bool> inSomeEntry(0x10000, false);
    for (const Entry& e : entries) {
        for (QChar c : e.text)
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
    for (size_t e = 0; e < entries.size(); ++e) {
        if (found[e] || (emptyAlwaysFound && entries[e].text.isEmpty()))
            ++result.found;
    }
    return result;
}

RewriteResult rewriteTextNaive(const QString& text, const QStringList& lines,
                               const RandomSource& random)
{
    RewriteResult result{text, 0};
    for (const QString& line : lines) {
        const QStringList group = line.split(u',');
        const int last = static_cast<int>(group.size()) - 1;
        for (const QString& entry : group) {
            const double r = random();
            const bool occurs = entry.isEmpty() ? !result.text.isEmpty()
                                                : result.text.contains(entry);
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
