#include "comparer/core/sentencematcher.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstring>
#include <thread>

namespace comparer {

namespace {

using Text = std::u16string_view;

// Papers are walked in pieces of this many ends, longer ones on several threads.
constexpr size_t kPieceLength = 1 << 16;

Text view(QStringView s) { return {s.utf16(), static_cast<size_t>(s.size())}; }

// Collects the marks: per sentence, an occurrence counts when it begins at or
// after the end of the last one counted. Occurrences must come in the order
// of their ends, which for one sentence is the order of their starts.
class Marks {
public:
    explicit Marks(const std::vector<Text>& sentences) : sentences_(sentences), nextFree_(sentences.size(), 0)
    { }

    void found(qint32 sentence, qsizetype start)
    {
        if (start >= nextFree_[sentence]) {
            hits_.push_back({sentence, start});
            nextFree_[sentence] = start + static_cast<qsizetype>(sentences_[sentence].size());
        }
    }

    std::vector<QList<qsizetype>> bySentence() const
    {
        std::vector<qsizetype> counts(sentences_.size(), 0);
        for (const Hit& hit : hits_)
            ++counts[hit.sentence];
        std::vector<QList<qsizetype>> lists(sentences_.size());
        for (size_t d = 0; d < counts.size(); ++d)
            lists[d].reserve(counts[d]);
        for (const Hit& hit : hits_)
            lists[hit.sentence].append(hit.start);
        return lists;
    }

private:
    struct Hit {
        qint32 sentence;
        qsizetype start;
    };
    const std::vector<Text>& sentences_;
    std::vector<qsizetype> nextFree_;
    std::vector<Hit> hits_;
};

// --- the Aho-Corasick automaton, for texts that make the walks too long ---

class Automaton {
public:
    explicit Automaton(const std::vector<Text>& distinct);
    void run(Text text, Marks& marks) const;

private:
    struct Node {
        qint32 firstChild = 0;  // children are consecutive, sorted by character
        qint32 children = 0;
        qint32 fail = 0;         // the longest proper suffix that is a node too
        qint32 output = -1;      // the nearest node on the fail chain that ends a sentence
        qint32 sentence = -1;    // the sentence that ends here
        char16_t onlyChild = 0;  // the first child's character
    };
    struct Range {
        qint32 begin;
        qint32 end;
    };

    qint32 child(qint32 node, char16_t c) const;
    qint32 failureOf(qint32 parent, char16_t c) const;

    // Level by level, so that every node's failure link is known before a
    // deeper node needs it.
    std::vector<Node> nodes_;
    std::vector<char16_t> chars_;  // per node: the character on the edge into it
    std::vector<qint32> rootChildren_ = std::vector<qint32>(0x10000, 0);
    const std::vector<Text>& distinct_;
};

Automaton::Automaton(const std::vector<Text>& distinct) : distinct_(distinct)
{
    // Sorted, the sentences below a node form one run.
    std::vector<qint32> sorted(distinct.size());
    for (size_t i = 0; i < sorted.size(); ++i)
        sorted[i] = static_cast<qint32>(i);
    std::sort(sorted.begin(), sorted.end(), [&](qint32 a, qint32 b) { return distinct[a] < distinct[b]; });
    const auto at = [&](qint32 i) -> Text { return distinct[sorted[i]]; };

    nodes_.emplace_back();
    chars_.push_back(0);
    if (sorted.empty())
        return;
    std::vector<Range> level{{0, static_cast<qint32>(sorted.size())}};
    std::vector<Range> next;
    qint32 levelBegin = 0;
    for (size_t depth = 0; !level.empty(); ++depth) {
        next.clear();
        for (size_t k = 0; k < level.size(); ++k) {
            const qint32 parent = levelBegin + static_cast<qint32>(k);
            qint32 i = level[k].begin;
            const qint32 end = level[k].end;
            if (nodes_[parent].sentence >= 0)  // it sorts first, and ends here
                ++i;
            nodes_[parent].firstChild = static_cast<qint32>(nodes_.size());
            while (i < end) {
                const char16_t c = at(i)[depth];
                qint32 j = i + 1;
                while (j < end && at(j)[depth] == c)
                    ++j;
                // Every shallower node is linked already: link the child now.
                Node node;
                if (at(i).size() == depth + 1)
                    node.sentence = sorted[i];
                node.fail = depth == 0 ? 0 : failureOf(parent, c);
                node.output = nodes_[node.fail].sentence >= 0 ? node.fail : nodes_[node.fail].output;
                if (depth == 0)
                    rootChildren_[c] = static_cast<qint32>(nodes_.size());
                nodes_.push_back(node);
                chars_.push_back(c);
                next.push_back({i, j});
                i = j;
            }
            Node& p = nodes_[parent];
            p.children = static_cast<qint32>(nodes_.size()) - p.firstChild;
            if (p.children > 0)
                p.onlyChild = chars_[p.firstChild];
        }
        levelBegin += static_cast<qint32>(level.size());
        level.swap(next);
    }
}

qint32 Automaton::child(qint32 node, char16_t c) const
{
    const Node& n = nodes_[node];
    if (n.children == 1)
        return n.onlyChild == c ? n.firstChild : -1;
    if (n.children == 0)
        return -1;
    const auto first = chars_.begin() + n.firstChild;
    const auto last = first + n.children;
    const auto it = std::lower_bound(first, last, c);
    return it != last && *it == c ? static_cast<qint32>(it - chars_.begin()) : -1;
}

// The failure link of the child of `parent` reached by `c`: the longest
// proper suffix of its text that is a node, found along the parent's links.
qint32 Automaton::failureOf(qint32 parent, char16_t c) const
{
    for (qint32 shorter = nodes_[parent].fail;; shorter = nodes_[shorter].fail) {
        if (shorter == 0)
            return rootChildren_[c];
        if (const qint32 next = child(shorter, c); next >= 0)
            return next;
    }
}

void Automaton::run(Text text, Marks& marks) const
{
    if (nodes_.size() == 1)
        return;
    qint32 state = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        for (;;) {
            if (state == 0) {
                state = rootChildren_[c];
                break;
            }
            if (const qint32 next = child(state, c); next >= 0) {
                state = next;
                break;
            }
            state = nodes_[state].fail;
        }
        // Every sentence that ends here: this node's, then those of its suffixes.
        for (qint32 found = nodes_[state].sentence >= 0 ? state : nodes_[state].output; found > 0;
             found = nodes_[found].output) {
            const qint32 sentence = nodes_[found].sentence;
            marks.found(sentence, static_cast<qsizetype>(i + 1 - distinct_[sentence].size()));
        }
    }
}

}  // namespace

// --- the trie of the sentences read backwards, and its filter ---

// A node is a leaf when a single sentence lies below it: the walk then
// compares the rest of that sentence directly instead of node by node.
struct SentenceMatcher::Trie {
    static constexpr size_t kGram = 6;  // filter on the last six characters (fewer for shorter sentences)

    struct Node {
        qint32 parent = -1;
        qint32 sentence = -1;   // internal: the sentence that ends at this depth; leaf: its sentence
        qint32 firstChild = 0;  // once frozen: its children are children[firstChild, next node's)
        char16_t ch = 0;        // on the edge from the parent
        bool leaf = false;
    };
    struct Child {
        char16_t ch;
        qint32 node;
    };

    std::vector<Node> nodes{Node{}};
    std::vector<qint32> rootChildren = std::vector<qint32>(0x10000, 0);
    // The other edges by (parent, character), holding just the child: the
    // child's own parent and character confirm a slot, so the table stays
    // small enough for the cache.
    std::vector<qint32> edges = std::vector<qint32>(64, 0);  // 0: free
    size_t edgeCount = 0;
    // Once frozen, each node's children side by side, sorted by character:
    // the busy nodes near the root then stay in the cache while the text is
    // walked.
    std::vector<Child> children;
    size_t gram = kGram;
    std::vector<quint64> filter;  // two bits per sentence, from the hash of its last `gram` characters
    int filterShift = 64;

    static size_t edgeHash(qint32 node, char16_t c)
    {
        return static_cast<size_t>(((static_cast<quint64>(node) << 16) | c) * 0x9E3779B97F4A7C15ULL >> 24);
    }

    qint32 child(qint32 node, char16_t c) const
    {
        if (node == 0) {
            const qint32 next = rootChildren[c];
            return next == 0 ? -1 : next;
        }
        const size_t mask = edges.size() - 1;
        for (size_t slot = edgeHash(node, c) & mask;; slot = (slot + 1) & mask) {
            const qint32 candidate = edges[slot];
            if (candidate == 0)
                return -1;
            if (nodes[candidate].parent == node && nodes[candidate].ch == c)
                return candidate;
        }
    }

    qint32 frozenChild(qint32 node, char16_t c) const
    {
        if (node == 0) {
            const qint32 next = rootChildren[c];
            return next == 0 ? -1 : next;
        }
        const Child* first = children.data() + nodes[node].firstChild;
        const Child* last = children.data() + nodes[node + 1].firstChild;
        if (last - first <= 8) {
            for (const Child* p = first; p < last; ++p) {
                if (p->ch == c)
                    return p->node;
            }
            return -1;
        }
        const Child* it =
            std::lower_bound(first, last, c, [](const Child& x, char16_t k) { return x.ch < k; });
        return it != last && it->ch == c ? it->node : -1;
    }

    // After the last insert: lays the children out for frozenChild() and
    // lets the insertion's edge table go.
    void freeze()
    {
        std::vector<qint32> counts(nodes.size() + 1, 0);
        for (size_t node = 1; node < nodes.size(); ++node) {
            if (nodes[node].parent != 0)
                ++counts[nodes[node].parent];
        }
        nodes.push_back(Node{});  // ends the last node's children
        qint32 offset = 0;
        for (size_t node = 0; node < nodes.size(); ++node) {
            nodes[node].firstChild = offset;
            offset += counts[node];
        }
        children.resize(offset);
        std::vector<qint32> filled(nodes.size(), 0);
        for (size_t node = 1; node + 1 < nodes.size(); ++node) {
            const qint32 parent = nodes[node].parent;
            if (parent != 0)
                children[nodes[parent].firstChild + filled[parent]++] = {nodes[node].ch,
                                                                         static_cast<qint32>(node)};
        }
        for (size_t node = 1; node + 1 < nodes.size(); ++node) {
            if (counts[node] > 1)
                std::sort(children.begin() + nodes[node].firstChild,
                          children.begin() + nodes[node + 1].firstChild,
                          [](const Child& a, const Child& b) { return a.ch < b.ch; });
        }
        edges = {};
    }

    void placeEdge(qint32 child)
    {
        const size_t mask = edges.size() - 1;
        size_t slot = edgeHash(nodes[child].parent, nodes[child].ch) & mask;
        while (edges[slot] != 0)
            slot = (slot + 1) & mask;
        edges[slot] = child;
    }

    void reserveEdges(size_t count)
    {
        if (2 * count <= edges.size())
            return;
        edges.assign(std::bit_ceil(2 * count), 0);
        for (size_t node = 1; node < nodes.size(); ++node) {
            if (nodes[node].parent != 0)
                placeEdge(static_cast<qint32>(node));
        }
    }

    qint32 addChild(qint32 node, char16_t c, qint32 sentence = -1, bool leaf = false)
    {
        const auto index = static_cast<qint32>(nodes.size());
        nodes.push_back(Node{.parent = node, .sentence = sentence, .ch = c, .leaf = leaf});
        if (node == 0) {
            rootChildren[c] = index;
        } else {
            if (2 * (edgeCount + 1) > edges.size())
                reserveEdges(2 * edges.size());
            placeEdge(index);
            ++edgeCount;
        }
        return index;
    }

    // Returns the distinct sentence `s` is, adding it to `distinct` when new.
    qint32 insert(Text s, std::vector<Text>& distinct);

    static quint64 hashOf(const char16_t* last, size_t length);
    // The two filter bits of a hash.
    std::pair<size_t, size_t> bitsOf(quint64 hash) const
    {
        const quint64 mixed = hash * 0x9E3779B97F4A7C15ULL;
        return {static_cast<size_t>(mixed >> filterShift),
                static_cast<size_t>((mixed ^ (mixed >> 29)) * 0xBF58476D1CE4E5B9ULL >> filterShift)};
    }
    bool inFilter(quint64 hash) const
    {
        const auto [a, b] = bitsOf(hash);
        return (filter[a / 64] >> (a % 64) & 1) && (filter[b / 64] >> (b % 64) & 1);
    }
    void buildFilter(const std::vector<Text>& distinct);
    // Walks back from every end in [from, to) that passes the filter and
    // calls found(sentence, start) for each sentence ending there. Returns
    // the steps taken, or -1 once they pass `limit`.
    template <typename Found>
    qint64 walk(Text text, size_t from, size_t to, const std::vector<Text>& distinct, qint64 limit,
                Found&& found) const;
};

namespace {

constexpr quint64 kHashBase = 0x100000001b3ULL;

char16_t fromEnd(Text s, size_t k) { return s[s.size() - 1 - k]; }

}  // namespace

qint32 SentenceMatcher::Trie::insert(Text s, std::vector<Text>& distinct)
{
    const auto added = [&] {
        distinct.push_back(s);
        return static_cast<qint32>(distinct.size() - 1);
    };
    qint32 node = 0;
    for (size_t depth = 0;; ++depth) {
        if (nodes[node].leaf) {
            // Push the leaf's sentence down past the end they share.
            const qint32 other = nodes[node].sentence;
            const Text o = distinct[other];
            size_t common = depth;
            while (common < s.size() && common < o.size() && fromEnd(s, common) == fromEnd(o, common))
                ++common;
            if (common == s.size() && common == o.size())
                return other;
            nodes[node].sentence = -1;
            nodes[node].leaf = false;
            for (; depth < common; ++depth)
                node = addChild(node, fromEnd(s, depth));
            const qint32 mine = added();
            for (const auto& [sentence, text] : {std::pair{other, o}, std::pair{mine, s}}) {
                if (text.size() == common)
                    nodes[node].sentence = sentence;
                else
                    addChild(node, fromEnd(text, common), sentence, true);
            }
            return mine;
        }
        if (depth == s.size()) {
            if (nodes[node].sentence >= 0)
                return nodes[node].sentence;
            return nodes[node].sentence = added();
        }
        const char16_t c = fromEnd(s, depth);
        const qint32 next = child(node, c);
        if (next < 0) {
            const qint32 mine = added();
            addChild(node, c, mine, true);
            return mine;
        }
        node = next;
    }
}

quint64 SentenceMatcher::Trie::hashOf(const char16_t* last, size_t length)
{
    quint64 h = 0;
    for (size_t i = 0; i < length; ++i)
        h = h * kHashBase + *(last - length + 1 + i);
    return h;
}

void SentenceMatcher::Trie::buildFilter(const std::vector<Text>& distinct)
{
    for (const Text& s : distinct)
        gram = std::min(gram, s.size());
    size_t bits = 1024;
    while (bits < 16 * distinct.size())
        bits *= 2;
    filterShift = 64 - std::countr_zero(bits);
    filter.assign(bits / 64, 0);
    for (const Text& s : distinct) {
        const auto [a, b] = bitsOf(hashOf(s.data() + s.size() - 1, gram));
        filter[a / 64] |= 1ULL << (a % 64);
        filter[b / 64] |= 1ULL << (b % 64);
    }
}

template <typename Found>
qint64 SentenceMatcher::Trie::walk(Text text, size_t from, size_t to, const std::vector<Text>& distinct,
                                   qint64 limit, Found&& found) const
{
    from = std::max(from, gram - 1);
    if (distinct.empty() || from >= to)
        return 0;
    quint64 topPower = 1;  // kHashBase^(gram - 1), to drop the character leaving the window
    for (size_t i = 1; i < gram; ++i)
        topPower *= kHashBase;
    const char16_t* chars = text.data();
    quint64 h = hashOf(chars + from, gram);
    qint64 steps = 0;
    for (size_t end = from;; ++end) {
        if (inFilter(h)) {
            // Back from `end` through the trie; `depth` characters match.
            qint32 node = 0;
            for (size_t depth = 0;; ++depth) {
                const Node& n = nodes[node];
                if (n.leaf) {
                    const Text s = distinct[n.sentence];
                    if (s.size() <= end + 1) {
                        const size_t start = end + 1 - s.size();
                        const size_t rest = s.size() - depth;
                        steps += static_cast<qint64>(rest);
                        if (std::memcmp(chars + start, s.data(), rest * sizeof(char16_t)) == 0)
                            found(n.sentence, static_cast<qsizetype>(start));
                    }
                    break;
                }
                if (n.sentence >= 0)
                    found(n.sentence, static_cast<qsizetype>(end + 1 - depth));
                if (depth > end)
                    break;
                node = frozenChild(node, chars[end - depth]);
                if (node < 0)
                    break;
                ++steps;
            }
            if (steps > limit)
                return -1;
        }
        if (end + 1 >= to)
            return steps;
        h = (h - chars[end + 1 - gram] * topPower) * kHashBase + chars[end + 1];
    }
}

SentenceMatcher::SentenceMatcher(const std::vector<QStringView>& sentences)
{
    auto trie = std::make_shared<Trie>();
    // Sentences mostly part from the others within a few characters: under
    // two nodes each, one of them below the root's children.
    trie->nodes.reserve(2 * sentences.size() + 1);
    trie->reserveEdges(sentences.size());
    distinct_.reserve(sentences.size());
    distinctOf_.assign(sentences.size(), -1);
    for (size_t i = 0; i < sentences.size(); ++i) {
        if (!sentences[i].isEmpty())
            distinctOf_[i] = trie->insert(view(sentences[i]), distinct_);
    }
    trie->freeze();
    trie->buildFilter(distinct_);
    trie_ = std::move(trie);
}

std::vector<QList<qsizetype>> SentenceMatcher::occurrences(QStringView text) const
{
    // Walks on prose come to a fraction of the text; this many steps means
    // the text repeats itself in a way only the automaton handles in time.
    qint64 total = 0;
    for (const Text& s : distinct_)
        total += static_cast<qint64>(s.size());
    const qint64 budget = 8 * (text.size() + total) + 65536;
    const Text chars = view(text);
    // The walks are independent of each other: the text is walked in pieces
    // by as many threads as there are cores (up to four), each piece's finds
    // kept in order and counted piece after piece.
    struct Find {
        qint32 sentence;
        qsizetype start;
    };
    const size_t pieces = std::max<size_t>(1, (chars.size() + kPieceLength - 1) / kPieceLength);
    std::vector<std::vector<Find>> finds(pieces);
    std::atomic<size_t> nextPiece{0};
    std::atomic<qint64> steps{0};
    const auto work = [&] {
        for (size_t p; (p = nextPiece++) < pieces && steps.load() <= budget;) {
            std::vector<Find>& out = finds[p];
            const qint64 taken =
                trie_->walk(chars, p * kPieceLength, std::min(chars.size(), (p + 1) * kPieceLength),
                            distinct_, budget, [&](qint32 sentence, qsizetype start) {
                                out.push_back({sentence, start});
                            });
            steps += taken < 0 ? budget + 1 : taken;
        }
    };
    const unsigned helpers = pieces < 2 ? 0 : std::clamp(std::thread::hardware_concurrency(), 1u, 4u) - 1;
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < helpers; ++t)
        threads.emplace_back(work);
    work();
    for (std::thread& t : threads)
        t.join();
    const bool walked = steps.load() <= budget;
    Marks marks(distinct_);
    for (const std::vector<Find>& piece : finds) {
        for (const Find& f : piece)
            marks.found(f.sentence, f.start);
    }
    if (!walked)
        return occurrencesByAutomaton(text);
    return perSentence(marks.bySentence());
}

std::vector<QList<qsizetype>> SentenceMatcher::occurrencesByAutomaton(QStringView text) const
{
    Marks marks(distinct_);
    Automaton(distinct_).run(view(text), marks);
    return perSentence(marks.bySentence());
}

std::vector<QList<qsizetype>> SentenceMatcher::perSentence(std::vector<QList<qsizetype>> byDistinct) const
{
    std::vector<QList<qsizetype>> result(distinctOf_.size());
    for (size_t i = 0; i < distinctOf_.size(); ++i) {
        if (distinctOf_[i] >= 0)
            result[i] = byDistinct[distinctOf_[i]];  // shared, not copied
    }
    return result;
}

}  // namespace comparer
