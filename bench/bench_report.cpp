// The check report of a long paper: a check in chapters, with ten results
// per piece, each with a summary of SUMMARY characters (two highlighted
// stretches), quotations and a reference list. Prints the time to build its
// HTML in this process, and the time of the whole `trovalis-cli report CHECK
// OUT.pdf` process with the PDF's size, for three checks: 1,200 pieces (about
// 45,600 characters) of which most are from 20 %; 1,050 pieces of which 300
// are from 20 %; a paper of a million characters without summaries.
//
//   bench_report [PIECES [SUMMARY [HTML-OUT]]]   (the first check only, so sized)

#include "analysis/savedcheck.h"
#include "analysis/segmentation.h"
#include "report/core/checkreport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QString kSentences[] = {
    QStringLiteral("本研究采用问卷调查与访谈相结合的方法，对三所高校的两百名学生进行了系统调查。"),
    QStringLiteral("结果表明，多数学生在论文写作过程中对引用规范的理解存在明显不足。"),
    QStringLiteral("正如前人所言：“学术诚信是高等教育的基石，任何时候都不能动摇。”"),
    QStringLiteral("因此，本文建议高校应当建立更加完善的学术规范教育体系，并纳入课程考核。"),
};

// A summary as a result page shows one: text, two highlighted stretches.
ResultLink resultWithSummary(const QString& title, const QString& url, int length)
{
    QString summary;
    while (summary.size() < length)
        summary += kSentences[(summary.size() / 7) % 4];
    summary.truncate(length);
    QList<TextStretch> highlighted;
    if (length >= 40)
        highlighted = {{5, 12}, {length / 2, 15}};
    return {title, url, summary, highlighted};
}

// Whether the analysed text of `paper` is shorter than `size`; the text as
// typed is never shorter than that, and cheaper to measure.
bool shorter(const QString& paper, qsizetype size)
{
    return paper.size() < size || segmentation::normalise(paper).size() < size;
}

// `similar` pieces (spread over the paper) from 20 %, the others below; all of them when negative.
SavedCheck longCheck(int pieces, int summaryLength, QString& paper, int similar = -1)
{
    // Paragraphs until the analysis gives the pieces asked for, the last
    // tenth of them a reference list.
    const int body = pieces * 9 / 10;
    for (int i = 0; shorter(paper, qsizetype(body) * 38); ++i) {
        if (i % 100 == 0)
            paper += QStringLiteral("\r\n第%1章 研究内容\r\n").arg(i / 100 + 1);
        paper += kSentences[i % 4] + (i % 5 == 4 ? QStringLiteral("\r\n") : QString());
    }
    paper += QStringLiteral("\r\n参考文献\r\n");
    for (int i = 1; shorter(paper, qsizetype(pieces - 1) * 38); ++i)
        paper +=
            QStringLiteral("[%1] 张三，李四. 高校学术规范教育研究[J]. 教育研究, 2019(%1): 1-10.\r\n").arg(i);
    // Filled up to exactly the pieces asked for.
    paper += QString(std::max<qsizetype>(qsizetype(pieces) * 38 - segmentation::normalise(paper).size(), 0),
                     u'文');

    const segmentation::Analysis a = segmentation::analyse(paper);
    SavedCheck check;
    check.analysedText = a.analysedText;
    check.sentences = a.sentences;
    check.resultTitles = QStringList(10 * a.sentences.size() + 1, QString());
    check.resultBlocks = check.resultTitles;
    for (qsizetype i = 0; i < a.sentences.size(); ++i) {
        double figure = double((i * 37) % 120);
        if (similar >= 0)
            figure = (i * similar) / a.sentences.size() != ((i + 1) * similar) / a.sentences.size()
                ? 20 + double(i % 80)
                : double(i % 20);
        PieceResult piece{true, figure, {}};
        for (int k = 0; k < 10; ++k) {
            const QString title = QStringLiteral("高校学术规范教育研究综述（第%1篇）").arg((i * 7 + k) % 300);
            piece.results.append(resultWithSummary(
                title, QStringLiteral("https://www.baidu.com/link?url=%1x%2").arg(i).arg(k), summaryLength));
            check.resultTitles[10 * i + k] = title;
        }
        check.similaritySum += piece.figure;
        check.pieces.append(piece);
    }
    check.pageCount = int(a.sentences.size()) + 1;
    check.label2 = QStringLiteral("本句相似度：12%\r\n\r\n目前总体相似度：49.58%");
    check.engine = QStringLiteral("baidu");
    check.savedAt = QDateTime::currentDateTime();
    return check;
}

double medianMs(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The whole `trovalis-cli report CHECK OUT.pdf` process, three times: prints
// the median and the range, the PDF's size and its pages.
bool timeCli(const char* what, const SavedCheck& check, const QString& paper)
{
    QTemporaryDir dir;
    SavedCheck kept = check;
    kept.paperText = paper;
    const QString checkPath = dir.filePath(QStringLiteral("check.json"));
    const QString pdfPath = dir.filePath(QStringLiteral("report.pdf"));
    if (!savedcheck::write(kept, checkPath))
        return false;
    std::vector<double> times;
    for (int run = 0; run < 3; ++run) {
        QFile::remove(pdfPath);
        QElapsedTimer t;
        t.start();
        QProcess cli;
        cli.start(QStringLiteral(TROVALIS_CLI), {QStringLiteral("report"), checkPath, pdfPath});
        if (!cli.waitForFinished(600000) || cli.exitCode() != 0) {
            std::printf("%s: trovalis-cli failed: %s\n", what, cli.readAllStandardError().constData());
            return false;
        }
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    QFile pdf(pdfPath);
    const QByteArray bytes = pdf.open(QIODevice::ReadOnly) ? pdf.readAll() : QByteArray();
    const qsizetype pages = bytes.count("/Type /Page\n") + bytes.count("/Type /Page ");
    std::printf("%s: %lld pieces, %lld characters; PDF %lld bytes, %lld pages, whole CLI process %.0f ms "
                "(median of 3; min %.0f, max %.0f)\n",
                what, static_cast<long long>(check.sentences.size()),
                static_cast<long long>(check.analysedText.size()), static_cast<long long>(bytes.size()),
                static_cast<long long>(pages), medianMs(times), *std::min_element(times.begin(), times.end()),
                *std::max_element(times.begin(), times.end()));
    return true;
}

}  // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int pieces = argc > 1 ? std::max(1, atoi(argv[1])) : 1200;
    const int summaryLength = argc > 2 ? std::clamp(atoi(argv[2]), 0, 300) : 150;
    QString paper;
    const SavedCheck check = longCheck(pieces, summaryLength, paper);

    std::vector<double> times;
    QByteArray html;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer t;
        t.start();
        html = report::htmlBytes(check, paper);
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    const report::Content content = report::contentOf(check, paper);
    std::printf("check: %lld pieces, %lld characters analysed, %lld excluded, figure %s / without %s, "
                "%lld chapters, %lld sources, summaries of %d characters\n",
                static_cast<long long>(check.sentences.size()),
                static_cast<long long>(check.analysedText.size()),
                static_cast<long long>(content.excludedCount), qPrintable(content.overall),
                qPrintable(content.overallWithout),
                static_cast<long long>(content.chapters.value_or(QList<report::ChapterRow>()).size()),
                static_cast<long long>(content.sources.size()), summaryLength);
    std::printf("HTML: %lld bytes, built in %.1f ms (median of 7; min %.1f, max %.1f)\n",
                static_cast<long long>(html.size()), medianMs(times),
                *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()));
    if (argc > 3) {
        QFile out(QString::fromLocal8Bit(argv[3]));
        if (out.open(QIODevice::WriteOnly))
            out.write(html);
    }

    bool ok = timeCli("PDF, every piece's results", check, paper);
    if (argc > 1)
        return ok ? 0 : 1;
    QString paper2;
    ok = timeCli("PDF, 300 of 1,050 pieces from 20 %", longCheck(1050, summaryLength, paper2, 300), paper2)
        && ok;
    QString paper3;
    ok = timeCli("PDF, a million characters without summaries", longCheck(26316, 0, paper3), paper3) && ok;
    return ok ? 0 : 1;
}
