// Content characters and their folding, literal runs between two texts held
// to a plain search on random texts with random edits.

#include "matching/fold.h"
#include "matching/runindex.h"
#include "matching/runs.h"
#include "matching/synonyms.h"
#include "quadraticruns.h"

#include <QRandomGenerator>
#include <QTest>

using namespace matching;

namespace {

QString u(const char16_t* s) { return QString::fromUtf16(s); }

// Random text over a small alphabet of ideographs, so that texts share runs by chance too.
std::u32string randomContent(QRandomGenerator& rng, int length, int alphabet)
{
    std::u32string out;
    for (int i = 0; i < length; ++i)
        out.push_back(char32_t(0x4E00 + rng.bounded(alphabet)));
    return out;
}

// `text` with a few characters replaced, inserted or deleted.
std::u32string edited(QRandomGenerator& rng, std::u32string text, int edits, int alphabet)
{
    for (int e = 0; e < edits && !text.empty(); ++e) {
        const size_t at = size_t(rng.bounded(int(text.size())));
        const char32_t c = char32_t(0x4E00 + rng.bounded(alphabet));
        switch (rng.bounded(3)) {
        case 0:
            text[at] = c;
            break;
        case 1:
            text.insert(text.begin() + qsizetype(at), c);
            break;
        default:
            text.erase(text.begin() + qsizetype(at));
            break;
        }
    }
    return text;
}

Content contentOf(std::u32string text) { return std::make_shared<const std::u32string>(std::move(text)); }

// What the index must find: the plain search against each source in turn.
std::vector<FoundRun> plainRuns(const std::vector<Content>& sources, std::u32string_view paper, int minRun)
{
    std::vector<FoundRun> out;
    for (size_t s = 0; s < sources.size(); ++s) {
        for (const ContentRun& r : quadraticRuns(paper, *sources[s], minRun))
            out.push_back({qint32(s), r.a, r.b, r.length});
    }
    return out;
}

QString withPunctuation(QRandomGenerator& rng, const std::u32string& content)
{
    static const char16_t* marks[] = {u"，", u"。", u" ", u"\r\n", u"、", u"“", u"——"};
    QString out;
    for (const char32_t c : content) {
        out += QString::fromUcs4(&c, 1);
        if (rng.bounded(6) == 0)
            out += QString::fromUtf16(marks[rng.bounded(7)]);
    }
    return out;
}

}  // namespace

class TestMatching : public QObject {
    Q_OBJECT
private slots:
    void foldsContentCharacters()
    {
        QCOMPARE(foldContent(u"ＡＢｃ１２３，abC 4。"), std::u32string(U"abc123abc4"));
        QCOMPARE(foldContent(u"學習體驗與發展"), std::u32string(U"学习体验与发展"));
        QCOMPARE(foldContent(u"——《》“”！？…·\r\n\t ①Ⅱα"), std::u32string());
        // Compatibility ideographs stand for their unified ideograph; ideographs
        // beyond the BMP are content characters of two units.
        QCOMPARE(folded(0xF900), char32_t(0x5C82));  // 豈, then simplified
        const QString wide = QString::fromUcs4(U"a\U00020000，b", 4);
        const FoldedText f = foldText(wide);
        QCOMPARE(f.content, std::u32string(U"a\U00020000b"));
        QCOMPARE(f.starts, (std::vector<qsizetype>{0, 1, 4}));
        QCOMPARE(f.ends, (std::vector<qsizetype>{1, 3, 5}));
    }

    void findsRunsAcrossPunctuationAndScripts()
    {
        // The paper changed the punctuation and wrote the source in traditional characters.
        const QString a = u(u"前言。研究表明，城市化进程对生态环境的影响日益显著！结尾");
        const QString b = u(u"據研究表明城市化進程、對生態環境的影響日益顯著。");
        const std::vector<SharedRun> runs = sharedRuns(a, b);
        QCOMPARE(runs.size(), size_t(1));
        QCOMPARE(a.mid(runs[0].a.start, runs[0].a.length), u"研究表明，城市化进程对生态环境的影响日益显著");
        QCOMPARE(b.mid(runs[0].b.start, runs[0].b.length), u"研究表明城市化進程、對生態環境的影響日益顯著");
        QCOMPARE(runs[0].characters, qsizetype(21));
        QVERIFY(sharedRuns(a, b, 22).empty());
        QCOMPARE(sharedRuns(a, b, 21).size(), size_t(1));
        QVERIFY(sharedRuns(u"，。！", u"，。！", 1).empty());
    }

    void joinsSpans()
    {
        QCOMPARE(joined({{10, 5}, {0, 3}, {3, 2}, {12, 1}, {20, 0}, {16, 2}}),
                 (std::vector<Span>{{0, 5}, {10, 5}, {16, 2}}));
        QCOMPARE(covered(joined({{0, 4}, {2, 4}})), qsizetype(6));
    }

    void equalsPlainSearchOnEditedTexts()
    {
        QRandomGenerator rng(27);
        for (int round = 0; round < 300; ++round) {
            const int alphabet = 2 + rng.bounded(20);
            const int minRun = 1 + rng.bounded(15);
            const std::u32string b = randomContent(rng, rng.bounded(120), alphabet);
            std::u32string a = edited(rng, b, rng.bounded(8), alphabet);
            a = randomContent(rng, rng.bounded(20), alphabet) + a
                + randomContent(rng, rng.bounded(20), alphabet);
            const std::vector<ContentRun> expected = quadraticRuns(a, b, minRun);
            QCOMPARE(sharedContentRuns(a, b, minRun), expected);
            // Through the texts: punctuation between the characters changes no run,
            // and each span covers its run's characters.
            const QString ta = withPunctuation(rng, a);
            const QString tb = withPunctuation(rng, b);
            const std::vector<SharedRun> runs = sharedRuns(ta, tb, minRun);
            QCOMPARE(runs.size(), expected.size());
            for (size_t i = 0; i < runs.size(); ++i) {
                QCOMPARE(runs[i].characters, expected[i].length);
                QCOMPARE(foldContent(QStringView(ta).mid(runs[i].a.start, runs[i].a.length)),
                         a.substr(size_t(expected[i].a), size_t(expected[i].length)));
                QCOMPARE(foldContent(QStringView(tb).mid(runs[i].b.start, runs[i].b.length)),
                         b.substr(size_t(expected[i].b), size_t(expected[i].length)));
                QVERIFY(isContent(ta.at(runs[i].a.start).unicode()));
                QVERIFY(isContent(ta.at(runs[i].a.end() - 1).unicode()));
            }
        }
    }

    // Sources made of passages of one another, edited; the paper of passages
    // of them, edited again, between text of its own.
    void indexFindsWhatThePlainSearchFinds()
    {
        QRandomGenerator rng(2003);
        size_t found = 0;
        for (int round = 0; round < 60; ++round) {
            const int alphabet = 6 + rng.bounded(300);
            const int minRun = kMinRun + rng.bounded(kMaxRun - kMinRun + 1);
            std::vector<Content> sources;
            std::vector<std::u32string> texts;
            for (int s = 0, count = 1 + rng.bounded(6); s < count; ++s) {
                std::u32string text = randomContent(rng, rng.bounded(400), alphabet);
                if (!texts.empty() && rng.bounded(2) == 0) {
                    const std::u32string& other = texts[size_t(rng.bounded(int(texts.size())))];
                    text +=
                        edited(rng, other.substr(0, size_t(rng.bounded(int(other.size()) + 1))), 3, alphabet);
                }
                texts.push_back(text);
                sources.push_back(rng.bounded(8) == 0 ? nullptr : contentOf(text));
            }
            std::u32string paper;
            for (int piece = 0; piece < 6; ++piece) {
                const std::u32string& from = texts[size_t(rng.bounded(int(texts.size())))];
                const int start = rng.bounded(int(from.size()) + 1);
                paper += edited(rng, from.substr(size_t(start), size_t(rng.bounded(120))), rng.bounded(5),
                                alphabet);
                paper += randomContent(rng, rng.bounded(30), alphabet);
            }
            std::vector<Content> present = sources;
            for (Content& c : present) {
                if (!c)
                    c = contentOf({});
            }
            const RunIndex index(sources);
            const std::vector<FoundRun> expected = plainRuns(present, paper, minRun);
            QCOMPARE(index.find(paper, minRun), expected);
            QCOMPARE(RunIndex(sources, false).find(paper, minRun), expected);  // every source walked
            found += expected.size();
            // Kept and read back, the fingerprints find the same.
            const std::optional<RunIndex> again = RunIndex::fromBytes(sources, index.fingerprintBytes());
            QVERIFY(again);
            QCOMPARE(again->find(paper, minRun), index.find(paper, minRun));
        }
        QVERIFY2(found > 100, qPrintable(QString::number(found)));
    }

    void indexBearsBadInput()
    {
        // Ten megabytes of one character: its one hash is capped, and a paper
        // of the same character is still found, quickly.
        const std::u32string same(5'000'000, U'\u554A');
        const RunIndex index({contentOf(same), contentOf(U"别的文字别的文字别的文字别的文字")});
        QVERIFY(index.fingerprintCount() <= size_t(kCap) + 16);
        const std::u32string paper = U"开头" + std::u32string(20000, U'\u554A') + U"结尾";
        const std::vector<FoundRun> runs = index.find(paper, kDefaultRun);
        QVERIFY(!runs.empty());
        QVERIFY(runs.size() <= size_t(kDepth) * 2);
        QCOMPARE(runs.front().paper, qsizetype(2));
        QCOMPARE(runs.front().length, qsizetype(20000));
        // Nothing to find: an empty paper, a paper of punctuation, an empty library.
        QVERIFY(index.find(foldContent(u"，。！？——……\r\n"), kDefaultRun).empty());
        QVERIFY(RunIndex().find(paper, kDefaultRun).empty());
        QVERIFY(RunIndex({nullptr}).find(paper, kDefaultRun).empty());
        // N outside its bounds is taken at the nearest bound.
        const RunIndex small({contentOf(U"甲乙丙丁戊己庚辛壬癸")});
        QCOMPARE(small.find(U"子甲乙丙丁戊己庚辛丑", 3).size(), size_t(1));
        QVERIFY(small.find(U"子甲乙丙丁戊己庚丑", 3).empty());
        // Fingerprints of other sources or cut short are refused.
        const QByteArray bytes = index.fingerprintBytes();
        QVERIFY(!RunIndex::fromBytes({contentOf(U"短")}, bytes));
        QVERIFY(!RunIndex::fromBytes(index.sources(), bytes.left(bytes.size() - 3)));
        QByteArray swapped = bytes;
        if (swapped.size() >= 16) {
            std::swap_ranges(swapped.begin(), swapped.begin() + 8, swapped.begin() + 8);
            QVERIFY(!RunIndex::fromBytes(index.sources(), swapped));
        }
    }

    void wordsOfOneLineAreEqual()
    {
        const Synonyms synonyms({QStringLiteral("1"), u(u"研究,探究,钻研"), u(u"表明,显示"), u(u"显示,展示"),
                                 u(u"影響,作用"), u(u"C++,程序"), QString()});
        const auto keys = [&](const QString& text) {
            std::vector<qint32> words;
            for (const Synonyms::Token& t : synonyms.tokens(foldContent(text)))
                words.push_back(t.word);
            return words;
        };
        QCOMPARE(keys(u(u"研究表明啊")).size(), size_t(3));  // 研究, 表明, 啊
        const auto equal = [&](const QString& a, const QString& b) {
            const auto ta = synonyms.tokens(foldContent(a));
            const auto tb = synonyms.tokens(foldContent(b));
            return ta.size() == 1 && tb.size() == 1 && synonyms.equal(ta[0], tb[0]);
        };
        QVERIFY(equal(u(u"研究"), u(u"钻研")));
        QVERIFY(equal(u(u"表明"), u(u"显示")));
        QVERIFY(equal(u(u"显示"), u(u"展示")));
        QVERIFY(!equal(u(u"表明"), u(u"展示")));  // no further than one line
        QVERIFY(equal(u(u"影响"), u(u"作用")));   // folded like the texts
        QVERIFY(!equal(u(u"啊"), u(u"哦")));

        // Lines that chain thousands of words: each word equals its neighbours only.
        QStringList chain;
        for (int i = 0; i < 5000; ++i)
            chain << QStringLiteral("w%1x,w%2x").arg(i).arg(i + 1);
        const Synonyms chained(chain);
        QCOMPARE(chained.wordCount(), size_t(5001));
        const auto t = chained.tokens(foldContent(u"w0xw1xw2xw4999x"));
        QCOMPARE(t.size(), size_t(4));
        QVERIFY(chained.equal(t[0], t[1]));
        QVERIFY(chained.equal(t[1], t[2]));
        QVERIFY(!chained.equal(t[0], t[2]));
        QVERIFY(!chained.equal(t[0], t[3]));
    }

    void findsRewordedRuns()
    {
        const Synonyms synonyms({u(u"研究,探究"), u(u"表明,显示"), u(u"影响,作用"), u(u"日益,越来越")});
        const std::u32string source =
            foldContent(u"前文。研究表明城市化进程对生态环境的影响日益显著。后文很长很长。");
        const std::vector<Content> sources{nullptr, contentOf(source)};
        const std::u32string paper = foldContent(u"我们的探究显示，城市化进程对生态环境的作用越来越显著！");
        const std::vector<RewordedRun> runs = findReworded(synonyms, sources, paper, kDefaultRun);
        QCOMPARE(runs.size(), size_t(1));
        QCOMPARE(runs[0].source, 1);
        QCOMPARE(paper.substr(size_t(runs[0].paper), size_t(runs[0].paperLength)),
                 std::u32string(U"探究显示城市化进程对生态环境的作用越来越显著"));
        QCOMPARE(source.substr(size_t(runs[0].at), size_t(runs[0].length)),
                 std::u32string(U"研究表明城市化进程对生态环境的影响日益显著"));
        // A copy as it stands is literal, not reworded; too short a stretch is nothing.
        QVERIFY(findReworded(synonyms, sources, source, kDefaultRun).empty());
        QVERIFY(findReworded(synonyms, sources, foldContent(u"探究显示城市化进程"), kDefaultRun).empty());
        QCOMPARE(findReworded(synonyms, sources, foldContent(u"探究显示城市化进程"), kMinRun).size(),
                 size_t(1));
        // A source that shares no k-gram with the paper is not looked at.
        QVERIFY(findReworded(synonyms, sources, foldContent(u"探究显示城市化进"), kMinRun).empty());
        QVERIFY(findReworded(synonyms, sources, foldContent(u"，。"), kMinRun).empty());
    }
};

QTEST_APPLESS_MAIN(TestMatching)
#include "test_matching.moc"
