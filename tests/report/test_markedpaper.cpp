// The paper of a kept check as a marked .docx: which pieces are marked and
// what their comments say, the student's file refused once its text is not
// the checked paper, and trovalis-cli mark with its bad inputs.

#include "analysis/savedcheck.h"
#include "analysis/segmentation.h"
#include "documents/core/docxreader.h"
#include "documents/core/memoryzip.h"
#include "hardening/scratchdisk.h"
#include "report/core/markedpaper.h"
#include "support/clirunner.h"
#include "support/testdata.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kFirst =
    u"本研究采用问卷调查与访谈相结合的方法对三所高校的两百名学生进行了系统的调查研"_qs;  // 38
const QString kSecond = u"结果表明学生的学习动机与自我效能感之间存在显著的正相关关系"_qs;
const QString kThird = u"最后讨论了研究的不足"_qs;

QString paperText() { return kFirst + u"\r\n"_qs + kSecond + u" "_qs + kThird; }

SavedCheck checkOf(const QString& paper)
{
    const segmentation::Analysis a = segmentation::analyse(paper);
    SavedCheck c;
    c.analysedText = a.analysedText;
    c.sentences = a.sentences;
    const QList<ResultLink> four{{u"甲"_qs, u"https://a.example/"_qs},
                                 {u"乙"_qs, u"https://b.example/"_qs},
                                 {u"丙"_qs, {}},
                                 {u"丁"_qs, u"https://d.example/"_qs}};
    c.pieces = {{true, 20, four}, {true, 19.99, {}}, {false, 0, {}}};
    c.pieces.resize(c.sentences.size());
    if (c.sentences.size() > 2)
        c.pieces[2] = {true, 150, {}};
    c.resultTitles = QStringList(10 * c.sentences.size() + 1, QString());
    c.resultBlocks = c.resultTitles;
    c.nextIndex = 2;
    c.lastIndex = 1;
    c.engine = u"baidu"_qs;
    c.savedAt = QDateTime(QDate(2026, 12, 1), QTime(8, 0), Qt::UTC);
    c.paperText = paper;
    return c;
}

QByteArray studentDocx(const QString& paper) { return documents::plainDocx(paper.split(u"\r\n"_qs)); }

QByteArray commentsOf(const QByteArray& package)
{
    const Result<documents::MemoryZip> zip = documents::MemoryZip::open(package);
    if (!zip)
        return {};
    const Result<QByteArray> bytes = zip->readAll(u"word/comments.xml"_qs, 1 << 20);
    return bytes ? *bytes : QByteArray();
}

}  // namespace

class TestMarkedPaper : public QObject {
    Q_OBJECT
private slots:
    // From 20 %, red from 50 %, never an unchecked piece; a comment with the
    // number, the figure as the report shows it and at most three sources.
    void marksThePiecesFromTheMediumBand()
    {
        const SavedCheck check = checkOf(paperText());
        QCOMPARE(check.sentences.size(), 3);
        const QList<documents::PaperMark> marks = markedpaper::marksOf(check);
        QCOMPARE(marks.size(), 2);
        QCOMPARE(marks[0].start, 0);
        QCOMPARE(marks[0].length, 38);
        QCOMPARE(marks[0].highlight, documents::Highlight::Yellow);
        QCOMPARE(marks[0].comment,
                 (QStringList{u"第 1 句，相似度：20%"_qs, u"来源：甲 https://a.example/"_qs,
                              u"来源：乙 https://b.example/"_qs, u"来源：丙"_qs}));
        QCOMPARE(marks[1].start, check.analysedText.indexOf(check.sentences[2]));
        QCOMPARE(marks[1].highlight, documents::Highlight::Red);
        QCOMPARE(marks[1].comment, QStringList{u"第 3 句，相似度：100%"_qs});
    }

    // What the piece still shares with its results' summaries, quoted after
    // the figure: joined over the results, in order, at most three.
    void commentNamesWhatToRewrite()
    {
        SavedCheck check = checkOf(paperText());
        check.pieces[0].results[0].summary = kFirst.left(15) + u"……"_qs;
        check.pieces[0].results[1].summary = u"据"_qs + kFirst.mid(18, 13) + kFirst.mid(10, 6);
        check.pieces[0].results[3].summary = kFirst.mid(10, 6);  // too short a run
        const QList<documents::PaperMark> marks = markedpaper::marksOf(check);
        const QString rewrite = u"需改写：“"_qs + kFirst.left(15) + u"”“"_qs + kFirst.mid(18, 13) + u"”"_qs;
        QCOMPARE(marks[0].comment.mid(0, 3),
                 (QStringList{u"第 1 句，相似度：20%"_qs, rewrite, u"来源：甲 https://a.example/"_qs}));
        QCOMPARE(marks[0].comment.size(), 5);  // three sources still
        const Result<documents::MarkedDocx> marked = markedpaper::markDocx(studentDocx(paperText()), check);
        QVERIFY(marked);
        QVERIFY(QString::fromUtf8(commentsOf(marked->package)).contains(rewrite));
    }

    // The student's file while it is the checked paper; once edited, refused,
    // and the editor's text still gives a marked copy of its own.
    void refusesAnEditedFileAndMarksTheEditorsText()
    {
        const SavedCheck check = checkOf(paperText());
        const Result<documents::MarkedDocx> own = markedpaper::markDocx(studentDocx(paperText()), check);
        QVERIFY2(own, qPrintable(own ? QString() : own.error()));
        QCOMPARE(own->marked, 2);

        const QString edited = QString(paperText()).replace(u"显著"_qs, u"明显"_qs);
        const Result<documents::MarkedDocx> stale = markedpaper::markDocx(studentDocx(edited), check);
        QVERIFY(!stale);
        QCOMPARE(stale.error(), markedpaper::notThePaper());

        const Result<documents::MarkedDocx> typed = markedpaper::markText(paperText(), check);
        QVERIFY(typed);
        QCOMPARE(typed->marked, 2);
        QCOMPARE(documents::readDocxText(typed->package).valueOr(QString()),
                 paperText().replace(u"\r\n"_qs, u"\n"_qs));
        QVERIFY(!markedpaper::markText(edited, check));
    }

    void proposesANameBesideTheOriginal()
    {
        QCOMPARE(markedpaper::proposedName(u"/home/学生/论文.v2.docx"_qs),
                 u"/home/学生/论文.v2（标注）.docx"_qs);
        QCOMPARE(markedpaper::proposedName(u"/tmp/thesis.DOCM"_qs), u"/tmp/thesis（标注）.docx"_qs);
    }

    // The command writes the copy and leaves the original as it was; another
    // text, a damaged file and a target it cannot write fail with one line.
    void cliMarksAndRefuses()
    {
        SKIP_WITHOUT_CLI();
        QTemporaryDir dir;
        const QString check = dir.filePath(u"check.json"_qs);
        QVERIFY(savedcheck::write(checkOf(paperText()), check));
        const QString docx = dir.filePath(u"论文.docx"_qs);
        testdata::writeFile(docx, studentDocx(paperText()));
        const QByteArray before = testdata::readFile(docx);
        const QString out = dir.filePath(u"论文（标注）.docx"_qs);

        const auto run = clirunner::run({u"mark"_qs, check, docx, out});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        QCOMPARE(testdata::readFile(docx), before);
        const QByteArray copy = testdata::readFile(out);
        QCOMPARE(documents::readDocxText(copy).valueOr(QString()),
                 documents::readDocxText(before).valueOr(QString()));
        QCOMPARE(commentsOf(copy).count("<w:comment "), 2);

        const QString other = dir.filePath(u"other.docx"_qs);
        testdata::writeFile(other, studentDocx(kSecond));
        const auto mismatch = clirunner::run({u"mark"_qs, check, other, dir.filePath(u"x.docx"_qs)});
        QCOMPARE(mismatch.exitCode, 1);
        QCOMPARE(mismatch.err.count(u'\n'), 1);
        QVERIFY(mismatch.err.contains(u"不一致"_qs));
        QVERIFY(!QFile::exists(dir.filePath(u"x.docx"_qs)));

        testdata::writeFile(other, before.left(before.size() / 2));
        QCOMPARE(clirunner::run({u"mark"_qs, check, other, dir.filePath(u"x.docx"_qs)}).exitCode, 1);
        QVERIFY(!QFile::exists(dir.filePath(u"x.docx"_qs)));
    }

    // A full disk or a read-only folder: the earlier file stays whole and
    // nothing half-written is left beside it.
    void cliOnAFullOrReadOnlyDisk_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("full") << int(ScratchDisk::Kind::Full);
        QTest::newRow("read-only") << int(ScratchDisk::Kind::ReadOnly);
    }
    void cliOnAFullOrReadOnlyDisk()
    {
        SKIP_WITHOUT_CLI();
        QFETCH(int, kind);
        QTemporaryDir dir;
        const QString check = dir.filePath(u"check.json"_qs);
        // A paper whose copy cannot fit beside the filler, however well it packs.
        QString paper = paperText();
        for (int i = 1; i < 6000; ++i)
            paper += i % 60 ? QChar(0x4E00 + (i * 7919) % 20000) : QChar(u'\n');
        paper.replace(u"\n"_qs, u"\r\n"_qs);
        QVERIFY(savedcheck::write(checkOf(paper), check));
        const QString docx = dir.filePath(u"论文.docx"_qs);
        testdata::writeFile(docx, studentDocx(paper));
        ScratchDisk disk;
        MOUNT_OR_SKIP(disk, ScratchDisk::Kind(kind), [](const QString& path) {
            testdata::writeFile(path + u"/论文（标注）.docx"_qs, "earlier");
            testdata::writeFile(path + u"/filler"_qs, QByteArray(60 * 1024, 'x'));
        });
        const auto run = clirunner::run({u"mark"_qs, check, docx, disk.file(u"论文（标注）.docx"_qs)});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err.count(u'\n'), 1);
        QVERIFY2(run.err.contains(u"无法写入文件"_qs), qPrintable(run.err));
        QCOMPARE(testdata::readFile(disk.file(u"论文（标注）.docx"_qs)), QByteArray("earlier"));
        QCOMPARE(disk.entries(), (QStringList{u"filler"_qs, u"论文（标注）.docx"_qs}));
    }
};

QTEST_GUILESS_MAIN(TestMarkedPaper)
#include "test_markedpaper.moc"
