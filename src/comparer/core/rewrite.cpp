#include "rewrite.h"

#include "gbk.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <chrono>
#include <queue>
#include <random>
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

// The rewrite works segment by segment. A character that occurs in no entry
// can never be matched, inserted or removed, so the text between two such
// characters is rewritten independently of the rest. Within a segment, only
// entries whose first two characters occur there are tried, in entry order.
class SegmentRewriter {
public:
    SegmentRewriter(const std::vector<Entry>& entries, bool emptyEntriesAlwaysFound,
                    std::vector<char>& found)
        : entries_(entries), found_(found), emptyAlwaysFound_(emptyEntriesAlwaysFound)
    {
        for (int e = 0; e < static_cast<int>(entries.size()); ++e)
            postings_[keyOf(entries[e].text)].push_back(e);
    }

    QString rewrite(QString segment) const
    {
        int done = -1;  // entries up to here have had their turn
        Queue queue = candidates(segment, done);
        while (!queue.empty()) {
            const Cursor top = queue.top();
            queue.pop();
            const int e = (*top.list)[top.index];
            if (top.index + 1 < top.list->size())
                queue.push({top.list, top.index + 1});
            done = e;
            const Entry& entry = entries_[e];
            if (!entry.text.isEmpty() && !segment.contains(entry.text))
                continue;
            found_[e] = 1;
            if (entry.replaces) {
                segment.replace(entry.text, entry.replacement);
                queue = candidates(segment, done);  // new text, new candidates
            }
        }
        return segment;
    }

private:
    struct Cursor {
        const std::vector<int>* list;
        size_t index;
        bool operator>(const Cursor& o) const { return (*list)[index] > (*o.list)[o.index]; }
    };
    using Queue = std::priority_queue<Cursor, std::vector<Cursor>, std::greater<Cursor>>;

    Queue candidates(const QString& segment, int done) const
    {
        std::vector<quint64> keys;
        keys.reserve(segment.size() * 2 + 1);
        for (qsizetype i = 0; i < segment.size(); ++i) {
            keys.push_back(keyOf(QStringView(segment).mid(i, 1)));
            if (i + 1 < segment.size())
                keys.push_back(keyOf(QStringView(segment).mid(i, 2)));
        }
        if (!segment.isEmpty() && !emptyAlwaysFound_)
            keys.push_back(kEmptyKey);
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());

        std::vector<Cursor> cursors;
        for (quint64 key : keys) {
            const auto it = postings_.find(key);
            if (it == postings_.end())
                continue;
            const std::vector<int>& list = it->second;
            const auto next = std::upper_bound(list.begin(), list.end(), done);
            if (next != list.end())
                cursors.push_back({&list, static_cast<size_t>(next - list.begin())});
        }
        return Queue(std::greater<Cursor>(), std::move(cursors));
    }

    const std::vector<Entry>& entries_;
    std::vector<char>& found_;
    bool emptyAlwaysFound_;
    std::unordered_map<quint64, std::vector<int>> postings_;
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
