#include "matching/synonyms.h"

#include "matching/fold.h"

#include <algorithm>
#include <bit>
#include <thread>

namespace matching {

namespace {

// Past the largest character fold() gives.
constexpr char32_t kCharacters = 0x323B0;

quint64 childKey(qint32 node, char32_t c) { return (quint64(quint32(node) + 1) << 32) | c; }

size_t slotOf(quint64 key, size_t mask) { return size_t((key * 0x9E3779B97F4A7C15ULL) >> 32) & mask; }

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
                    qint32 next = i == 0 ? rootChild_[word[0]] : child(node, word[i]);
                    if (next < 0) {
                        next = qint32(nodeWord_.size());
                        nodeWord_.push_back(-1);
                        if (i == 0)
                            rootChild_[word[0]] = next;
                        else
                            addChild(childKey(node, word[i]), next);
                    }
                    node = next;
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

qint32 Synonyms::child(qint32 node, char32_t c) const
{
    if (childKeys_.empty())
        return -1;
    const quint64 key = childKey(node, c);
    const size_t mask = childKeys_.size() - 1;
    for (size_t slot = slotOf(key, mask);; slot = (slot + 1) & mask) {
        if (childKeys_[slot] == key)
            return childNodes_[slot];
        if (childKeys_[slot] == 0)
            return -1;
    }
}

void Synonyms::addChild(quint64 key, qint32 node)
{
    if ((childCount_ + 1) * 2 > childKeys_.size()) {
        // Twice as large, every child placed again.
        std::vector<quint64> keys(std::max<size_t>(1024, childKeys_.size() * 2), 0);
        std::vector<qint32> nodes(keys.size(), -1);
        for (size_t i = 0; i < childKeys_.size(); ++i) {
            if (childKeys_[i] == 0)
                continue;
            size_t slot = slotOf(childKeys_[i], keys.size() - 1);
            while (keys[slot] != 0)
                slot = (slot + 1) & (keys.size() - 1);
            keys[slot] = childKeys_[i];
            nodes[slot] = childNodes_[i];
        }
        childKeys_ = std::move(keys);
        childNodes_ = std::move(nodes);
    }
    size_t slot = slotOf(key, childKeys_.size() - 1);
    while (childKeys_[slot] != 0)
        slot = (slot + 1) & (childKeys_.size() - 1);
    childKeys_[slot] = key;
    childNodes_[slot] = node;
    ++childCount_;
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
        node = child(node, content[i]);
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

}  // namespace matching
