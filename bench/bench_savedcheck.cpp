// Prints what keeping a check on disk costs: the check is saved after every
// scored page, so the last saves of a run carry the whole thesis. Measured on
// a thesis of 40,000 characters (1,053 pieces), every piece checked with ten
// results, blocks, links and summaries (150 characters, two highlighted
// stretches) as long as those on today's Baidu pages.

#include "analysis/savedcheck.h"
#include "analysis/segmentation.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include "benchtext.h"

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kRepeats = 20;

SavedCheck fullCheck()
{
    SavedCheck c;
    c.analysedText = chinese(40000, 1);
    c.sentences = segmentation::cutIntoPieces(c.analysedText);
    const qsizetype n = c.sentences.size();
    c.resultBlocks = QStringList(10 * n + 1);
    c.resultTitles = QStringList(10 * n + 1);
    for (qsizetype s = 0; s < n; ++s) {
        PieceResult piece{true, double(s % 97), {}};
        for (int k = 0; k < 10; ++k) {
            const QString title = chinese(24, int(s * 10 + k));
            const QString url = QStringLiteral("http://www.baidu.com/link?url=") + QString(110, u'x');
            piece.results.append({title, url, chinese(150, int(s * 10 + k + 7)), {{5, 12}, {70, 15}}});
            // A heading's inside on a saved Baidu page: the link with its
            // data-click attributes, about 600 characters.
            c.resultBlocks[10 * s + k] =
                QStringLiteral("<a data-click=\"{'F':'778317EA','F1':'9D73F1E4',"
                               "'F2':'4CA6DE6B','F3':'54E5243F','T':'1608705453','y':'EFBCEF7F'}\" href=\"")
                + url + QStringLiteral("\" target=\"_blank\">") + title + QStringLiteral("</a>")
                + QString(300, u' ');
            c.resultTitles[10 * s + k] = title;
        }
        c.pieces.append(piece);
    }
    c.nextIndex = int(n);
    c.lastIndex = int(n - 1);
    c.pageCount = int(n + 1);
    c.similaritySum = 12345.67;
    c.label2 = QStringLiteral("本句相似度：6%\r\n\r\n目前总体相似度：11.72%");
    c.engine = QStringLiteral("baidu");
    c.savedAt = QDateTime::currentDateTimeUtc();
    return c;
}

}  // namespace

int main()
{
    QTemporaryDir dir;
    const SavedCheck check = fullCheck();
    const QString path = savedcheck::pathFor(dir.path(), check.analysedText);

    QList<qint64> writes, reads;
    for (int i = 0; i < kRepeats; ++i) {
        QElapsedTimer t;
        t.start();
        if (!savedcheck::write(check, path)) {
            std::printf("write failed\n");
            return 1;
        }
        writes << t.nsecsElapsed();
        t.restart();
        if (!savedcheck::read(path)) {
            std::printf("read failed\n");
            return 1;
        }
        reads << t.nsecsElapsed();
    }
    std::sort(writes.begin(), writes.end());
    std::sort(reads.begin(), reads.end());
    std::printf("saved check of %lld pieces, all checked: %.1f MB\n", qlonglong(check.sentences.size()),
                QFileInfo(path).size() / 1e6);
    std::printf("save (median of %d): %.1f ms, slowest %.1f ms\n", kRepeats, writes[kRepeats / 2] / 1e6,
                writes.last() / 1e6);
    std::printf("read and check (median of %d): %.1f ms\n", kRepeats, reads[kRepeats / 2] / 1e6);
    return 0;
}
