// The check report of a long paper: a 1,200-piece check (about 45,600
// characters) with ten results per piece, quotations and a reference list.
// Prints the time to build its HTML and to print that HTML as PDF.
//
//   bench_report [PIECES [HTML-OUT]]

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

SavedCheck longCheck(int pieces, QString& paper)
{
    // Paragraphs until the analysis gives the pieces asked for, the last
    // tenth of them a reference list.
    const int body = pieces * 9 / 10;
    for (int i = 0; segmentation::normalise(paper).size() < qsizetype(body) * 38; ++i)
        paper += kSentences[i % 4] + (i % 5 == 4 ? QStringLiteral("\r\n") : QString());
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
            piece.results.append(
                {title, QStringLiteral("https://www.baidu.com/link?url=%1x%2").arg(i).arg(k)});
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

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int pieces = argc > 1 ? std::max(1, atoi(argv[1])) : 1200;
    QString paper;
    const SavedCheck check = longCheck(pieces, paper);

    std::vector<double> times;
    QByteArray html;
    for (int run = 0; run < 7; ++run) {
        QElapsedTimer t;
        t.start();
        html = report::htmlBytes(check, paper);
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    const report::Content content = report::contentOf(check, paper);
    std::printf("check: %lld pieces, %lld characters analysed, %lld excluded, figure %s / without %s\n",
                static_cast<long long>(check.sentences.size()),
                static_cast<long long>(check.analysedText.size()),
                static_cast<long long>(content.excludedCount), qPrintable(content.overall),
                qPrintable(content.overallWithout));
    std::printf("HTML: %lld bytes, built in %.1f ms (median of 7; min %.1f, max %.1f)\n",
                static_cast<long long>(html.size()), medianMs(times),
                *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()));

    if (argc > 2) {
        QFile out(QString::fromLocal8Bit(argv[2]));
        if (out.open(QIODevice::WriteOnly))
            out.write(html);
    }
    for (int run = 0; run < 2; ++run) {
        QElapsedTimer t;
        t.start();
        const auto pdf = reportexport::printPdf(html);
        const double ms = t.nsecsElapsed() / 1e6;
        if (!pdf) {
            std::printf("PDF: failed: %s\n", qPrintable(pdf.error()));
            return 1;
        }
        std::printf("PDF %s: %lld bytes in %.0f ms (load, layout and print in an off-screen page)\n",
                    run == 0 ? "first (engine start-up included)" : "second",
                    static_cast<long long>(pdf->size()), ms);
    }
    return 0;
}
