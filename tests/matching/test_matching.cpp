// Content characters and their folding, literal runs between two texts held
// to a plain search on random texts with random edits.

#include "matching/fold.h"
#include "matching/runs.h"
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
};

QTEST_APPLESS_MAIN(TestMatching)
#include "test_matching.moc"
