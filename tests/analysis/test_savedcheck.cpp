// The check kept on disk: what is written is read back exactly, and a file
// that is not a whole, consistent check of this version is refused.

#include "analysis/checkkeeper.h"
#include "analysis/savedcheck.h"
#include "analysis/segmentation.h"
#include "support/testdata.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

const QString kText = u"研究表明这一方法在多数情况下有效，但在少数情况下仍需改进。"_qs.repeated(3);

SavedCheck sampleCheck()
{
    SavedCheck c;
    c.analysedText = kText;
    c.sentences = segmentation::cutIntoPieces(kText);
    const qsizetype n = c.sentences.size();
    c.pieces = QList<PieceResult>(n);
    c.pieces[0] = {true,
                   0.1 + 0.2,
                   {{u"标题 \"一\""_qs,
                     u"http://www.baidu.com/link?url=a&b=1"_qs,
                     u"“引号”与<标记>里有相似的句子"_qs,
                     {{0, 2}, {12, 3}}},
                    {QString(), QString()}}};
    c.pieces[1] = {true, 150, {}};
    c.resultBlocks = QStringList(10 * n + 1);
    c.resultTitles = QStringList(10 * n + 1);
    c.resultBlocks[0] = u"<a href=\"x\" data-click=\"{'F':'1'}\">标题</a>"_qs;
    c.resultTitles[0] = u"标题"_qs;
    c.nextIndex = 2;
    c.lastIndex = 1;
    c.pageCount = 3;
    c.similaritySum = 150.30000000000001;
    c.label2 = u"本句相似度：100%\r\n\r\n目前总体相似度：50.1%"_qs;
    c.engine = u"wenku"_qs;
    c.savedAt = QDateTime(QDate(2026, 12, 8), QTime(4, 5, 6, 789), Qt::UTC);
    return c;
}

void expectSame(const SavedCheck& a, const SavedCheck& b)
{
    QCOMPARE(a.summariesKept, b.summariesKept);
    QCOMPARE(a.analysedText, b.analysedText);
    QCOMPARE(a.sentences, b.sentences);
    QCOMPARE(a.pieces, b.pieces);
    QCOMPARE(a.resultBlocks, b.resultBlocks);
    QCOMPARE(a.resultTitles, b.resultTitles);
    QCOMPARE(a.nextIndex, b.nextIndex);
    QCOMPARE(a.lastIndex, b.lastIndex);
    QCOMPARE(a.pageCount, b.pageCount);
    QCOMPARE(a.similaritySum, b.similaritySum);  // exactly: the rest of a run adds to it
    QCOMPARE(a.label2, b.label2);
    QCOMPARE(a.engine, b.engine);
    QCOMPARE(a.finished, b.finished);
    QCOMPARE(a.savedAt, b.savedAt);
}

QJsonObject writtenObject(const QString& path)
{
    return QJsonDocument::fromJson(testdata::readFile(path)).object();
}

void writeObject(const QString& path, const QJsonObject& o)
{
    testdata::writeFile(path, QJsonDocument(o).toJson());
}

}  // namespace

class TestSavedCheck : public QObject {
    Q_OBJECT
private:
    QTemporaryDir dir;
    QString path;

private slots:
    void init() { path = savedcheck::pathFor(dir.path(), kText); }

    void writtenCheckReadsBackExactly()
    {
        QVERIFY(QFileInfo(path).fileName().endsWith(u".json"_qs));
        QCOMPARE(savedcheck::pathFor(dir.path(), kText), path);
        QVERIFY(savedcheck::pathFor(dir.path(), kText + u"。"_qs) != path);

        const SavedCheck written = sampleCheck();
        QCOMPARE(written.checkedCount(), 2);
        QVERIFY(savedcheck::write(written, path));
        const auto read = savedcheck::read(path);
        QVERIFY2(read, qPrintable(read.error()));
        expectSame(*read, written);

        // Writing again replaces the file whole; no temporary file stays.
        SavedCheck finished = written;
        finished.finished = true;
        finished.nextIndex = int(finished.sentences.size());
        QVERIFY(savedcheck::write(finished, path));
        expectSame(*savedcheck::read(path), finished);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    void sessionGoesInAndComesBack()
    {
        segmentation::Analysis analysis = segmentation::analyse(kText);
        ComparisonSession session;
        segmentation::resetSession(session, analysis);
        const SavedCheck sample = sampleCheck();
        session.pieces = sample.pieces;
        session.resultBlocks = sample.resultBlocks;
        session.nextIndex = 2;
        session.lastIndex = 1;
        session.pageCount = 3;
        session.similaritySum = 150.3;
        const SavedCheck check = savedcheck::fromSession(session, u"标签"_qs, u"baidu"_qs, false);
        QCOMPARE(check.sentences, session.sentences);
        QCOMPARE(check.label2, u"标签"_qs);

        ComparisonSession fresh;
        segmentation::resetSession(fresh, analysis);
        savedcheck::restoreInto(check, fresh);
        QCOMPARE(fresh.pieces, session.pieces);
        QCOMPARE(fresh.resultBlocks, session.resultBlocks);
        QCOMPARE(fresh.nextIndex, 2);
        QCOMPARE(fresh.pageCount, 3);
        QCOMPARE(fresh.similaritySum, 150.3);
        // The next Compare goes on from nextIndex instead of the top.
        QVERIFY(!fresh.suppressListClick);
    }

    void badFilesAreRefused_data()
    {
        QTest::addColumn<std::function<void(const QString&)>>("spoil");
        const auto edit = [](std::function<void(QJsonObject&)> change) {
            return std::function<void(const QString&)>([change](const QString& p) {
                QJsonObject o = writtenObject(p);
                change(o);
                writeObject(p, o);
            });
        };
        const auto cut = [](double fraction) {
            return std::function<void(const QString&)>([fraction](const QString& p) {
                const QByteArray bytes = testdata::readFile(p);
                testdata::writeFile(p, bytes.left(qsizetype(bytes.size() * fraction)));
            });
        };
        QTest::newRow("empty") << cut(0);
        QTest::newRow("cut short after a tenth") << cut(0.1);
        QTest::newRow("cut short before the end") << cut(0.99);
        QTest::newRow("garbage") << std::function<void(const QString&)>([](const QString& p) {
            QByteArray bytes(4096, '\0');
            for (int i = 0; i < bytes.size(); ++i)
                bytes[i] = char((i * 131 + 7) % 256);
            testdata::writeFile(p, bytes);
        });
        QTest::newRow("a JSON array") << std::function<void(const QString&)>(
            [](const QString& p) { testdata::writeFile(p, "[1,2,3]"); });
        QTest::newRow("another version") << edit([](QJsonObject& o) { o[u"version"_qs] = 3; });
        QTest::newRow("another format") << edit([](QJsonObject& o) { o[u"format"_qs] = u"other"_qs; });
        QTest::newRow("a field missing") << edit([](QJsonObject& o) { o.remove(u"pageCount"_qs); });
        QTest::newRow("a field of the wrong type")
            << edit([](QJsonObject& o) { o[u"nextIndex"_qs] = u"2"_qs; });
        QTest::newRow("a fraction for an index") << edit([](QJsonObject& o) { o[u"nextIndex"_qs] = 1.5; });
        QTest::newRow("a piece too few") << edit([](QJsonObject& o) {
            QJsonArray pieces = o[u"pieces"_qs].toArray();
            pieces.removeLast();
            o[u"pieces"_qs] = pieces;
        });
        QTest::newRow("a slot too many") << edit([](QJsonObject& o) {
            QJsonArray titles = o[u"resultTitles"_qs].toArray();
            titles.append(QString());
            o[u"resultTitles"_qs] = titles;
        });
        QTest::newRow("pieces not cut from the text") << edit([](QJsonObject& o) {
            QJsonArray sentences = o[u"sentences"_qs].toArray();
            sentences[0] = u"别的句子"_qs;
            o[u"sentences"_qs] = sentences;
        });
        QTest::newRow("next piece past the end") << edit([](QJsonObject& o) { o[u"nextIndex"_qs] = 99; });
        QTest::newRow("negative index") << edit([](QJsonObject& o) { o[u"lastIndex"_qs] = -1; });
        QTest::newRow("no page count") << edit([](QJsonObject& o) { o[u"pageCount"_qs] = 0; });
        QTest::newRow("negative figure") << edit([](QJsonObject& o) {
            QJsonArray pieces = o[u"pieces"_qs].toArray();
            QJsonObject piece = pieces[0].toObject();
            piece[u"figure"_qs] = -1;
            pieces[0] = piece;
            o[u"pieces"_qs] = pieces;
        });
        const auto editFirstResult = [&edit](std::function<void(QJsonObject&)> change) {
            return edit([change](QJsonObject& o) {
                QJsonArray pieces = o[u"pieces"_qs].toArray();
                QJsonObject piece = pieces[0].toObject();
                QJsonArray results = piece[u"results"_qs].toArray();
                QJsonObject result = results[0].toObject();
                change(result);
                results[0] = result;
                piece[u"results"_qs] = results;
                pieces[0] = piece;
                o[u"pieces"_qs] = pieces;
            });
        };
        QTest::newRow("no summary in this version")
            << editFirstResult([](QJsonObject& r) { r.remove(u"summary"_qs); });
        QTest::newRow("highlight past the summary") << editFirstResult([](QJsonObject& r) {
            r[u"highlighted"_qs] = QJsonArray{QJsonArray{16, 40}};
        });
        QTest::newRow("highlights out of order") << editFirstResult([](QJsonObject& r) {
            r[u"highlighted"_qs] = QJsonArray{QJsonArray{12, 3}, QJsonArray{0, 2}};
        });
        QTest::newRow("highlight not a pair")
            << editFirstResult([](QJsonObject& r) { r[u"highlighted"_qs] = QJsonArray{3}; });
        QTest::newRow("unknown engine") << edit([](QJsonObject& o) { o[u"engine"_qs] = u"google"_qs; });
        QTest::newRow("no time") << edit([](QJsonObject& o) { o[u"savedAt"_qs] = u"yesterday"_qs; });
    }

    void firstFormatReadsWithoutSummaries()
    {
        const SavedCheck written = sampleCheck();
        QVERIFY(written.summariesKept);
        QVERIFY(savedcheck::write(written, path));
        QJsonObject o = writtenObject(path);
        o[u"version"_qs] = 1;
        writeObject(path, o);  // the summaries, still in the file, are not read in that version
        const auto read = savedcheck::read(path);
        QVERIFY2(read, qPrintable(read.error()));
        QVERIFY(!read->summariesKept);
        QCOMPARE(read->pieces[0].results[0],
                 (ResultLink{u"标题 \"一\""_qs, u"http://www.baidu.com/link?url=a&b=1"_qs}));
    }

    void badFilesAreRefused()
    {
        QFETCH(std::function<void(const QString&)>, spoil);
        QVERIFY(savedcheck::write(sampleCheck(), path));
        spoil(path);
        const auto read = savedcheck::read(path);
        QVERIFY(!read);
        QVERIFY(!read.error().isEmpty());
        QVERIFY(!savedcheck::readFor(dir.path(), kText));
    }

    void aCheckForAnotherTextIsNotThisPapersCheck()
    {
        // Another paper's whole, consistent check under this paper's name.
        SavedCheck other = sampleCheck();
        other.analysedText = u"另一篇论文"_qs;
        other.sentences = segmentation::cutIntoPieces(other.analysedText);
        other.pieces = QList<PieceResult>(1);
        other.resultBlocks = other.resultTitles = QStringList(11);
        other.nextIndex = 1;
        other.lastIndex = 0;
        QVERIFY(savedcheck::write(other, path));
        QVERIFY(savedcheck::read(path));
        QVERIFY(!savedcheck::readFor(dir.path(), kText));
        QVERIFY(!savedcheck::readFor(dir.path(), u"没有记录的论文"_qs));
    }

    void writeFailsWithoutHarmingTheEarlierFile()
    {
        QVERIFY(savedcheck::write(sampleCheck(), path));
        const QByteArray before = testdata::readFile(path);
        // A file where the folder should be: the folder cannot be made.
        const QString blocked = dir.filePath(u"blocked"_qs);
        testdata::writeFile(blocked, "x");
        const auto failed = savedcheck::write(sampleCheck(), blocked + u"/checks/x.json"_qs);
        QVERIFY(!failed);
        QVERIFY(failed.error().contains(u"blocked"_qs));
        // The target is a folder: the rename at the end fails, the earlier file stays.
        const QString folderTarget = dir.filePath(u"target.json"_qs);
        QVERIFY(QDir().mkpath(folderTarget));
        QVERIFY(!savedcheck::write(sampleCheck(), folderTarget));
        QCOMPARE(testdata::readFile(path), before);
    }

    // The window's saves, handed to a worker: the latest one is on disk when
    // the keeper says so, and when it goes away; a failure is reported.
    void keeperWritesTheLatestOffTheWindowsThread()
    {
        QTemporaryDir checks;
        const QString file = savedcheck::pathFor(checks.path(), kText);
        {
            CheckKeeper keeper;
            for (int i = 0; i <= 2; ++i) {
                SavedCheck c = sampleCheck();
                c.nextIndex = i;
                keeper.keep(c, checks.path());
            }
            keeper.waitUntilWritten();
            QCOMPARE(savedcheck::read(file)->nextIndex, 2);
            SavedCheck last = sampleCheck();
            last.finished = true;
            keeper.keep(last, checks.path());
        }
        QVERIFY(savedcheck::read(file)->finished);

        const QString blocked = checks.filePath(u"blocked"_qs);
        testdata::writeFile(blocked, "x");
        CheckKeeper keeper;
        QSignalSpy failures(&keeper, &CheckKeeper::failed);
        keeper.keep(sampleCheck(), blocked + u"/checks"_qs);
        QTRY_COMPARE(failures.size(), 1);
        QVERIFY(failures[0][0].toString().contains(u"blocked"_qs));
    }

    void pruneKeepsTheMostRecent()
    {
        QTemporaryDir checks;
        QStringList paths;
        const QDateTime base = QDateTime::currentDateTimeUtc().addDays(-1);
        for (int i = 0; i < 53; ++i) {
            const QString p = savedcheck::pathFor(checks.path(), QString::number(i));
            testdata::writeFile(p, "{}");
            QFile f(p);
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(base.addSecs(i), QFileDevice::FileModificationTime));
            paths << p;
        }
        const QString other = checks.filePath(u"notes.json"_qs);
        testdata::writeFile(other, "mine");
        savedcheck::prune(checks.path(), 50);
        for (int i = 0; i < 53; ++i)
            QCOMPARE(QFile::exists(paths[i]), i >= 3);
        QVERIFY2(QFile::exists(other), "a file the program did not write was removed");
    }
};

QTEST_MAIN(TestSavedCheck)
#include "test_savedcheck.moc"
