// The kept cut of an edited paper and the earlier check it is found from: the
// unchanged pieces keep their results, only the rest is cut afresh, and a
// check that does not belong to the paper is never offered.

#include "analysis/earlierversion.h"
#include "analysis/keptcut.h"
#include "analysis/precheck.h"
#include "analysis/segmentation.h"
#include "analysis/sharedruns.h"
#include "support/testdata.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

using keptcut::KeptCut;

constexpr int kPieces = 20;

// Characters spread over the CJK block, repeatable by seed, no piece twice.
QString prose(int count, quint32 seed)
{
    QString s;
    for (int i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        s += QChar(char16_t(0x4E00 + (seed >> 8) % 20000));
    }
    return s;
}

const QString kEarlier = prose(kPieces * 38, 1);
QString piece(int i) { return kEarlier.mid(38 * i, 38); }
QStringList grid() { return segmentation::cutIntoPieces(kEarlier); }

QStringList range(int from, int to)
{
    QStringList pieces;
    for (int i = from; i < to; ++i)
        pieces << piece(i);
    return pieces;
}

QList<qsizetype> indices(int from, int to)
{
    QList<qsizetype> list;
    for (int i = from; i < to; ++i)
        list << i;
    return list;
}

// What every kept cut of a text without "|@|" holds to.
void expectWellFormed(const KeptCut& cut, const QStringList& earlier, const QString& text)
{
    QCOMPARE(cut.pieces.join(QString()), text);
    QCOMPARE(cut.earlierIndex.size(), cut.pieces.size());
    qsizetype last = -1;
    qsizetype covered = 0;
    for (qsizetype i = 0; i < cut.pieces.size(); ++i) {
        QVERIFY(cut.pieces[i].size() >= 1 && cut.pieces[i].size() <= 38);
        const qsizetype from = cut.earlierIndex[i];
        if (from < 0)
            continue;
        QVERIFY(from > last);
        QCOMPARE(cut.pieces[i], earlier[from]);
        last = from;
        covered += cut.pieces[i].size();
    }
    QCOMPARE(cut.keptLength, covered);
    QVERIFY(keptcut::isCutOf(cut.pieces, text));
}

SavedCheck checkOf(const QString& text, const QStringList& sentences, const QString& engine)
{
    SavedCheck c;
    c.analysedText = text;
    c.sentences = sentences;
    const qsizetype n = sentences.size();
    c.pieces = QList<PieceResult>(n);
    c.resultBlocks = QStringList(10 * n + 1);
    c.resultTitles = QStringList(10 * n + 1);
    c.engine = engine;
    c.savedAt = QDateTime(QDate(2026, 12, 3), QTime(9, 5), Qt::LocalTime);
    return c;
}

// The earlier check of kEarlier: pieces 0 to 11 checked, piece i at figure
// 10 * (i % 4), its first result titled after it.
SavedCheck earlierCheck(const QString& engine = u"baidu"_qs)
{
    SavedCheck c = checkOf(kEarlier, grid(), engine);
    for (int i = 0; i < 12; ++i) {
        ResultLink site;
        site.title = u"第"_qs + QString::number(i) + u"句的网站"_qs;
        site.url = u"http://x/"_qs;
        c.pieces[i] = {true, 10.0 * (i % 4), {site}};
        c.resultTitles[10 * i] = site.title;
        c.resultBlocks[10 * i] = u"<a>"_qs + site.title + u"</a>"_qs;
    }
    c.nextIndex = 12;
    c.lastIndex = 11;
    c.pageCount = 13;
    c.similaritySum = 180;
    return c;
}

ResultLink withSummary(const QString& summary)
{
    ResultLink r(u"摘要"_qs, u"http://x/"_qs);
    r.summary = summary;
    return r;
}

KeptCut cutOf(int pieces, const QList<qsizetype>& earlierIndex)
{
    KeptCut cut;
    for (int i = 0; i < pieces; ++i)
        cut.pieces << piece(i);
    cut.earlierIndex = earlierIndex;
    return cut;
}

}  // namespace

class TestKeptCut : public QObject {
    Q_OBJECT
private slots:
    void theSameTextGivesTheEarlierPiecesBack()
    {
        const KeptCut cut = keptcut::recut(grid(), kEarlier);
        QCOMPARE(cut.pieces, grid());
        QCOMPARE(cut.earlierIndex, indices(0, kPieces));
        // A piece shorter than 38 at the end, and a paper emptied to nothing.
        const QString shorter = kEarlier.left(38 * 5 + 7);
        QCOMPARE(keptcut::recut(segmentation::cutIntoPieces(shorter), shorter).keptCount(), 6);
        QVERIFY(keptcut::recut(grid(), QString()).pieces.isEmpty());
    }

    void editsKeepWhatStandsUnchanged_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QList<qsizetype>>("kept");  // earlier index per piece, -1 new
        const QString added = u"新增加的一句话。"_qs;
        QTest::newRow("inserted at the start")
            << added + kEarlier << QStringList{added} + grid() << QList<qsizetype>{-1} + indices(0, kPieces);
        QTest::newRow("appended at the end")
            << kEarlier + added << grid() + QStringList{added} << indices(0, kPieces) + QList<qsizetype>{-1};
        // Inside piece 6: that piece and the insertion are cut afresh from the piece's start.
        const QString six = piece(6).left(10) + added + piece(6).mid(10);
        QTest::newRow("inserted in the middle")
            << range(0, 6).join(QString()) + six + range(7, kPieces).join(QString())
            << range(0, 6) + QStringList{six.left(38), six.mid(38)} + range(7, kPieces)
            << indices(0, 6) + QList<qsizetype>{-1, -1} + indices(7, kPieces);
        // Ten characters of piece 15 reworded.
        const QString fifteen = piece(15).left(20) + prose(10, 9) + piece(15).mid(30);
        QTest::newRow("reworded in one piece")
            << range(0, 15).join(QString()) + fifteen + range(16, kPieces).join(QString())
            << range(0, 15) + QStringList{fifteen} + range(16, kPieces)
            << indices(0, 15) + QList<qsizetype>{-1} + indices(16, kPieces);
        // From inside piece 3 to inside piece 7: what is left of both is one new piece.
        const QString joined = piece(3).left(5) + piece(7).mid(20);
        QTest::newRow("deleted across several pieces")
            << range(0, 3).join(QString()) + joined + range(8, kPieces).join(QString())
            << range(0, 3) + QStringList{joined} + range(8, kPieces)
            << indices(0, 3) + QList<qsizetype>{-1} + indices(8, kPieces);
        // Pieces 10 to 13 pasted in again after piece 1: the copy is new, the
        // passage itself keeps its place and results.
        QTest::newRow("a passage pasted in twice")
            << range(0, 2).join(QString()) + range(10, 14).join(QString()) + range(2, kPieces).join(QString())
            << range(0, 2) + range(10, 14) + range(2, kPieces)
            << indices(0, 2) + QList<qsizetype>(4, -1) + indices(2, kPieces);
    }

    void editsKeepWhatStandsUnchanged()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        QFETCH(QList<qsizetype>, kept);
        const KeptCut cut = keptcut::recut(grid(), text);
        QCOMPARE(cut.pieces, expected);
        QCOMPARE(cut.earlierIndex, kept);
        expectWellFormed(cut, grid(), text);
        QCOMPARE(keptcut::recut(grid(), text).pieces, cut.pieces);  // deterministic
        // The kept cut given as the earlier pieces comes back as it is.
        QCOMPARE(keptcut::recut(cut.pieces, text).pieces, cut.pieces);
    }

    void lessThanHalfKeptFallsBackToTheAnalysisCut()
    {
        // Exactly half kept (pieces 0 to 9) is kept; one character less is not.
        const QString half = range(0, 10).join(QString()) + prose(380, 5);
        QCOMPARE(keptcut::recut(grid(), half).keptCount(), 10);
        const QString less = half + u"多"_qs;
        const KeptCut cut = keptcut::recut(grid(), less);
        QCOMPARE(cut.pieces, segmentation::cutIntoPieces(less));
        QCOMPARE(cut.keptCount(), 0);
        QCOMPARE(cut.keptLength, 0);
        QCOMPARE(keptcut::recut(grid(), prose(800, 7)).pieces, segmentation::cutIntoPieces(prose(800, 7)));
    }

    void aMarkerInTheTextSplitsAsTheAnalysisDoes()
    {
        const QString head = range(0, 10).join(QString());
        const QString tail = range(10, kPieces).join(QString());
        // In a new stretch it splits there.
        KeptCut cut = keptcut::recut(grid(), head + u"插入|@|文字"_qs + tail);
        const QStringList expected = range(0, 10) + QStringList{u"插入"_qs, u"文字"_qs} + range(10, kPieces);
        QCOMPARE(cut.pieces, expected);
        QCOMPARE(cut.keptCount(), kPieces);
        // Between two kept pieces it only separates them: no empty piece.
        cut = keptcut::recut(grid(), head + u"|@|"_qs + tail);
        QCOMPARE(cut.pieces, grid());
        QCOMPARE(cut.keptCount(), kPieces);
    }

    void aSecondRoundStartsFromTheKeptCut()
    {
        const QString six = piece(6).left(10) + u"第一次修改"_qs + piece(6).mid(10);
        const QString first = range(0, 6).join(QString()) + six + range(7, kPieces).join(QString());
        const KeptCut round1 = keptcut::recut(grid(), first);
        QVERIFY(round1.pieces != segmentation::cutIntoPieces(first));  // no longer a grid
        QVERIFY(keptcut::isCutOf(round1.pieces, first));

        // Reworded at the end of piece 2 and a sentence appended: the short
        // piece of the first round stays as it was.
        const QString two = piece(2).left(30) + u"改写后的"_qs;
        const QString second = range(0, 2).join(QString()) + two + first.mid(3 * 38) + u"再加一句。"_qs;
        const KeptCut round2 = keptcut::recut(round1.pieces, second);
        expectWellFormed(round2, round1.pieces, second);
        QCOMPARE(round2.pieces,
                 range(0, 2) + QStringList{two} + round1.pieces.mid(3) + QStringList{u"再加一句。"_qs});
        QCOMPARE(round2.keptCount(), round1.pieces.size() - 1);
        // The five characters the first round cut afresh after piece 6.
        QCOMPARE(round2.earlierIndex[7], 7);
        QCOMPARE(round2.pieces[7].size(), 5);
    }

    void theEarlierCheckCarriesItsResultsOver()
    {
        QTemporaryDir folder;
        const SavedCheck earlier = earlierCheck();
        QVERIFY(savedcheck::write(earlier, savedcheck::pathFor(folder.path(), kEarlier)));
        // Rewritten pieces 3 and 15 (checked and not), a sentence after piece 6.
        const QString text = range(0, 3).join(QString()) + prose(38, 11) + range(4, 7).join(QString())
            + u"补充的一句。"_qs + range(7, 15).join(QString()) + prose(38, 12)
            + range(16, kPieces).join(QString());
        const auto found = earlierversion::find(folder.path(), text, u"baidu"_qs);
        QVERIFY(found);
        QCOMPARE(found->cut.keptCount(), kPieces - 2);
        QCOMPARE(found->checkedKept(), 11);  // 0 to 11 checked, 3 rewritten
        QCOMPARE(found->toCompare(), kPieces + 1 - 11);
        QCOMPARE(
            earlierversion::question(*found),
            u"这篇论文与 12月3日 09:05 检测过的版本相比，有 11 句未改动。是否沿用这些句子的结果，只对比改动过的 10 句？"_qs);
        QCOMPARE(earlierversion::carriedOverText(*found), u"已沿用 11 句的结果，还需对比 10 句。"_qs);

        ComparisonSession session;
        segmentation::resetSession(session, segmentation::analyse(text));
        earlierversion::carryOver(*found, session);
        QCOMPARE(session.sentences, found->cut.pieces);
        QCOMPARE(session.sentences.size(), kPieces + 1);
        QCOMPARE(session.resultTitles.size(), 10 * (kPieces + 1) + 1);
        // Piece 8 of the earlier check is piece 9 now, after the added sentence.
        QCOMPARE(session.pieces[9], earlier.pieces[8]);
        QCOMPARE(session.resultTitles[90], u"第8句的网站"_qs);
        QCOMPARE(session.resultBlocks[90], earlier.resultBlocks[80]);
        QVERIFY(!session.pieces[3].checked && session.resultTitles[30].isEmpty());
        QVERIFY(!session.pieces[7].checked);
        // As if each carried piece had been scored once: 11 pages.
        QCOMPARE(session.similaritySum, 180.0 - 30);
        QCOMPARE(session.pageCount, 12);
        QCOMPARE(earlierversion::overallLabel(session), u"目前总体相似度：13.64%"_qs);
        QVERIFY(session.suppressListClick);
        QCOMPARE(session.nextIndex, 0);
    }

    void checksThatDoNotBelongAreNotOffered()
    {
        QTemporaryDir folder;
        const QString edited = kEarlier + u"补充。"_qs;
        QVERIFY(!earlierversion::find(folder.path(), edited, u"baidu"_qs));  // no checks at all

        // Another service's check, a damaged one, and the paper itself.
        const SavedCheck wenku = earlierCheck(u"wenku"_qs);
        QVERIFY(savedcheck::write(wenku, savedcheck::pathFor(folder.path(), kEarlier)));
        QVERIFY(!earlierversion::find(folder.path(), edited, u"baidu"_qs));
        QVERIFY(earlierversion::find(folder.path(), edited, u"wenku"_qs));
        testdata::writeFile(savedcheck::pathFor(folder.path(), u"别的"_qs), "{\"format\":\"trovalis-check\"");
        SavedCheck itself = checkOf(edited, segmentation::cutIntoPieces(edited), u"baidu"_qs);
        itself.pieces[0].checked = true;
        QVERIFY(savedcheck::write(itself, savedcheck::pathFor(folder.path(), edited)));
        QVERIFY(!earlierversion::find(folder.path(), edited, u"baidu"_qs));

        // A much-changed paper: less than half of it stands in the check.
        QVERIFY(savedcheck::write(earlierCheck(), savedcheck::pathFor(folder.path(), kEarlier)));
        QVERIFY(!earlierversion::find(folder.path(), kEarlier.left(300) + prose(500, 3), u"baidu"_qs));

        // Of two earlier versions, the one standing in more of the paper.
        const QString nearer = kEarlier.left(38 * 18);
        QVERIFY(savedcheck::write(checkOf(nearer, segmentation::cutIntoPieces(nearer), u"baidu"_qs),
                                  savedcheck::pathFor(folder.path(), nearer)));
        QCOMPARE(earlierversion::find(folder.path(), edited, u"baidu"_qs)->check.analysedText, kEarlier);
    }

    // A new piece replaces the earlier pieces between the same two kept
    // pieces, or before the first or after the last; a kept piece none.
    void newPiecesReplaceWhatStoodBetweenTheSameKeptPieces()
    {
        using R = std::optional<precheck::Replaced>;
        QCOMPARE(precheck::replacedPieces(cutOf(7, {-1, 0, 1, -1, -1, 4, -1}), 6),
                 (QList<R>{R({0, 0}), {}, {}, R({2, 4}), R({2, 4}), {}, R({5, 6})}));
        QCOMPARE(precheck::replacedPieces(cutOf(2, {-1, -1}), 3), (QList<R>{R({0, 3}), R({0, 3})}));
        // Kept pieces out of order (no cut this program makes): nothing replaced.
        QCOMPARE(precheck::replacedPieces(cutOf(3, {3, -1, 1}), 5), (QList<R>{{}, R({4, 4}), {}}));
    }

    // The pre-check of a rewrite against the summaries the last check kept:
    // only a piece's own predecessors count, and a first-format check has
    // nothing to compare with.
    void preCheckFindsTheRewritesThatStillStand()
    {
        SavedCheck check = earlierCheck();
        const QString kept20 = piece(5).mid(10, 20);
        check.pieces[5].results << withSummary(prose(40, 31) + kept20 + prose(40, 32));
        check.pieces[8].results << withSummary(piece(8) + u"，"_qs + piece(8) + u"……"_qs + piece(8));
        check.pieces[2].results << withSummary(QString());
        // Piece 5 keeps 20 of its characters, piece 8 is rewritten, piece 2 now
        // holds piece 8's start: not what piece 2's results showed.
        const QString text = range(0, 2).join(QString()) + prose(18, 33) + piece(8).left(20)
            + range(3, 5).join(QString()) + prose(18, 34) + kept20 + range(6, 8).join(QString())
            + prose(38, 35) + range(9, kPieces).join(QString());
        const KeptCut cut = keptcut::recut(check.sentences, text);
        QCOMPARE(cut.keptCount(), kPieces - 3);
        const precheck::PreCheck found = precheck::run(cut, check);
        QCOMPARE(found.pieces.size(), kPieces);
        QCOMPARE(found.stillCount(), 1);
        const auto& still = found.pieces[5];
        QVERIFY(still);
        QCOMPARE(still->earlierPiece, 5);
        QCOMPARE(still->result, 1);
        QCOMPARE(still->runs.size(), std::size_t(1));
        QCOMPARE(still->runs[0].characters, 20);
        QCOMPARE(still->summary.mid(still->runs[0].b.start, still->runs[0].b.length), kept20);
        QCOMPARE(precheck::longestRun(cut.pieces[5], *still), kept20);

        // The same as comparing every new piece with every summary it replaces,
        // also for a stretch of several new pieces.
        const QString stretch = range(0, 10).join(QString()) + prose(5, 36) + piece(8).mid(3, 30)
            + piece(12).left(16) + prose(9, 37) + piece(14).right(14) + range(15, kPieces).join(QString());
        SavedCheck wider = check;
        const KeptCut wide = keptcut::recut(wider.sentences, stretch);
        wider.pieces[12] = {true, 30, {withSummary(piece(12) + piece(13))}};
        wider.pieces[14] = {true, 30, {withSummary(piece(14).right(13))}};
        const precheck::PreCheck wideFound = precheck::run(wide, wider);
        const auto replaced = precheck::replacedPieces(wide, kPieces);
        qsizetype stillHere = 0;
        for (qsizetype j = 0; j < wide.pieces.size(); ++j) {
            qsizetype longest = 0;
            for (qsizetype i = replaced[j] ? replaced[j]->first : 0; replaced[j] && i < replaced[j]->end; ++i)
                for (const ResultLink& result : wider.pieces[i].results)
                    for (const matching::SharedRun& run :
                         matching::sharedRuns(wide.pieces[j], result.summary))
                        longest = std::max(longest, run.characters);
            const auto& f = wideFound.pieces[j];
            QCOMPARE(f ? f->runs[f->longest].characters : 0, longest);
            stillHere += longest > 0;
        }
        QCOMPARE(stillHere, 1);  // of the two, the one holding piece 8 (kept, not replaced) is new

        const EarlierVersion earlier{check, cut};
        QCOMPARE(
            precheck::carriedOverText(earlier, found),
            u"已沿用 9 句的结果，还需对比 11 句。其中 1 句与上次网上找到的内容仍有连续13字以上相同，建议先改写。"_qs);
        check.summariesKept = false;
        QCOMPARE(precheck::run(cut, check).stillCount(), 0);
        QCOMPARE(precheck::carriedOverText(earlier, precheck::run(cut, check)),
                 u"已沿用 9 句的结果，还需对比 11 句。"_qs);
    }

    // What a piece shares with its results: traditional characters folded,
    // a summary holding the piece three times one run, nothing from an empty
    // summary or one of punctuation.
    void runsOfAPieceAgainstItsResults()
    {
        const QString piece = u"研究表明城市绿地对居民的身心健康具有显著的积极影响作用。"_qs;
        const QList<ResultLink> results{
            withSummary(QString()),
            withSummary(u"據研究表明，城市綠地對居民的身心健康具有顯著作用"_qs),
            withSummary(piece + piece + u"又如："_qs + piece),
            withSummary(u"，。！？"_qs),
        };
        const sharedruns::PieceRuns runs = sharedruns::ofPiece(piece, results);
        QCOMPARE(runs.longest, (QList<qsizetype>{0, 20, 27, 0}));
        QCOMPARE(runs.joined.size(), std::size_t(1));
        QCOMPARE(runs.joined[0], (matching::Span{0, 27}));
        QCOMPARE(sharedruns::quoted(piece, runs.joined, 3), QStringList{u"“"_qs + piece.left(27) + u"”"_qs});

        const sharedruns::PieceRuns none = sharedruns::ofPiece(u"，。！？"_qs, results);
        QCOMPARE(none.longest, (QList<qsizetype>{0, 0, 0, 0}));
        QVERIFY(none.joined.empty());

        // Four runs apart: three are quoted, in order.
        const QStringList parts{prose(13, 41), prose(13, 42), prose(13, 43), prose(13, 44)};
        const QString longer = parts.join(u"甲"_qs);
        const sharedruns::PieceRuns four = sharedruns::ofPiece(longer, {withSummary(parts.join(u"乙"_qs))});
        QCOMPARE(four.joined.size(), std::size_t(4));
        QCOMPARE(sharedruns::quoted(longer, four.joined, 3),
                 (QStringList{u"“"_qs + parts[0] + u"”"_qs, u"“"_qs + parts[1] + u"”"_qs,
                              u"“"_qs + parts[2] + u"”"_qs}));
    }

    void aKeptCutCheckReadsBack()
    {
        QTemporaryDir folder;
        const QString text = u"前言。"_qs + kEarlier;
        SavedCheck c = checkOf(text, keptcut::recut(grid(), text).pieces, u"baidu"_qs);
        QVERIFY(c.sentences != segmentation::cutIntoPieces(text));
        const QString path = savedcheck::pathFor(folder.path(), text);
        QVERIFY(savedcheck::write(c, path));
        const auto read = savedcheck::read(path);
        QVERIFY2(read, qPrintable(read.error()));
        QCOMPARE(read->sentences, c.sentences);
        // Pieces that are no cut of the text are still refused.
        c.sentences.swapItemsAt(1, 2);
        QVERIFY(savedcheck::write(c, path));
        QVERIFY(!savedcheck::read(path));
    }
};

QTEST_MAIN(TestKeptCut)
#include "test_keptcut.moc"
