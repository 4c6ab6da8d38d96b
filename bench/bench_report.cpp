// The check report of a long paper: a 1,200-piece check (about 45,600
// characters) in chapters, with ten results per piece, each with a summary of
// SUMMARY characters (two highlighted stretches), quotations and a reference
// list. Prints the time to build its HTML and to print that HTML as PDF.
//
//   bench_report [PIECES [SUMMARY [HTML-OUT]]]
//   bench_report --pdf-of HTML-FILE     (times the PDF of a report written before)

#include "analysis/segmentation.h"
#include "report/core/checkreport.h"
#include "report/ui/reportexport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>

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

SavedCheck longCheck(int pieces, int summaryLength, QString& paper)
{
    // Paragraphs until the analysis gives the pieces asked for, the last
    // tenth of them a reference list.
    const int body = pieces * 9 / 10;
    for (int i = 0; segmentation::normalise(paper).size() < qsizetype(body) * 38; ++i) {
        if (i % 100 == 0)
            paper += QStringLiteral("\r\n第%1章 研究内容\r\n").arg(i / 100 + 1);
        paper += kSentences[i % 4] + (i % 5 == 4 ? QStringLiteral("\r\n") : QString());
    }
    paper += QStringLiteral("\r\n参考文献\r\n");
    for (int i = 1; segmentation::normalise(paper).size() < qsizetype(pieces - 1) * 38; ++i)
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
        PieceResult piece{true, double((i * 37) % 120), {}};
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

// Prints the PDF times of `html`, twice, with the load's share; false when it failed.
bool timePdf(const QByteArray& html)
{
    for (int run = 0; run < 2; ++run) {
        QElapsedTimer t;
        t.start();
        double loadedMs = 0;
        const auto pdf = reportexport::printPdf(html, 600000, [&](const QString& stage) {
            if (loadedMs == 0 && stage.startsWith(QStringLiteral("正在生成 PDF")))
                loadedMs = t.nsecsElapsed() / 1e6;
        });
        const double ms = t.nsecsElapsed() / 1e6;
        if (!pdf) {
            std::printf("PDF: failed: %s\n", qPrintable(pdf.error()));
            return false;
        }
        std::printf("PDF %s: %lld bytes in %.0f ms (load and layout %.0f ms, print %.0f ms)\n",
                    run == 0 ? "first (engine start-up included)" : "second",
                    static_cast<long long>(pdf->size()), ms, loadedMs, ms - loadedMs);
    }
    return true;
}

double medianMs(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc > 2 && QByteArray(argv[1]) == "--pdf-of") {
        QFile in(QString::fromLocal8Bit(argv[2]));
        if (!in.open(QIODevice::ReadOnly))
            return 1;
        return timePdf(in.readAll()) ? 0 : 1;
    }
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
    return timePdf(html) ? 0 : 1;
}
