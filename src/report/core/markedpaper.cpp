#include "report/core/markedpaper.h"

#include "analysis/pieceresult.h"
#include "analysis/segmentation.h"
#include "analysis/sharedruns.h"
#include "report/core/checkreport.h"

#include <QDir>
#include <QFileInfo>

namespace markedpaper {

namespace {

constexpr int kSourcesPerComment = 3;
constexpr int kRunsPerComment = 3;

// The piece's number and figure, what it still shares with the web's
// summaries ("需改写：" and the runs, quoted), and its first sources.
QStringList commentOf(qsizetype number, const QString& sentence, const PieceResult& piece)
{
    QStringList lines{QStringLiteral("第 ") + QString::number(number) + QStringLiteral(" 句，相似度：")
                      + report::percent(piece.figure)};
    const QStringList runs =
        sharedruns::quoted(sentence, sharedruns::ofPiece(sentence, piece.results).joined, kRunsPerComment);
    if (!runs.isEmpty())
        lines << QStringLiteral("需改写：") + runs.join(QString());
    int sources = 0;
    for (const ResultLink& result : piece.results) {
        if (sources == kSourcesPerComment)
            break;
        if (!result.title.isEmpty() || !result.url.isEmpty()) {
            lines << QStringLiteral("来源：") + result.title
                    + (result.url.isEmpty() ? QString() : u' ' + result.url);
            ++sources;
        }
    }
    return lines;
}

bool isThePaper(const QString& editorText, const SavedCheck& check)
{
    return segmentation::normalise(editorText) == check.analysedText;
}

Result<documents::MarkedDocx> marked(const QByteArray& docx, const SavedCheck& check)
{
    documents::MarkOptions options;
    options.date = check.savedAt;
    // The document's lines are the editor's once it is opened.
    options.isThePaper = [&check](const QString& text) {
        return isThePaper(QString(text).replace(u'\n', QStringLiteral("\r\n")), check);
    };
    Result<documents::MarkedDocx> result =
        documents::markDocx(docx, check.analysedText, marksOf(check), options);
    if (!result && result.error() == documents::textDiffers())
        return failure(notThePaper());
    return result;
}

}  // namespace

QString notThePaper()
{
    return QStringLiteral("文档的文字与检测的论文不一致（分析后论文是否改动过？），无法在其中标注。");
}

QList<documents::PaperMark> marksOf(const SavedCheck& check)
{
    QList<documents::PaperMark> marks;
    qsizetype from = 0;
    for (qsizetype i = 0; i < check.sentences.size(); ++i) {
        const QString& sentence = check.sentences[i];
        // The pieces follow each other in the analysed text; a marker typed in
        // the paper is cut out of it, so each is looked for after the last.
        const qsizetype at = sentence.isEmpty() ? -1 : check.analysedText.indexOf(sentence, from);
        if (at < 0)
            continue;
        from = at + sentence.size();
        if (i >= check.pieces.size())
            continue;
        const PieceResult& piece = check.pieces[i];
        if (!piece.checked || !similarityband::colourFor(piece.figure))
            continue;
        const auto highlight =
            piece.figure >= similarityband::kHigh ? documents::Highlight::Red : documents::Highlight::Yellow;
        marks.append({at, sentence.size(), highlight, commentOf(i + 1, sentence, piece)});
    }
    return marks;
}

Result<documents::MarkedDocx> markDocx(const QByteArray& docx, const SavedCheck& check)
{
    return marked(docx, check);
}

Result<documents::MarkedDocx> markText(const QString& editorText, const SavedCheck& check)
{
    if (!isThePaper(editorText, check))
        return failure(notThePaper());
    return marked(documents::plainDocx(editorText.split(QStringLiteral("\r\n"))), check);
}

QString proposedName(const QString& original)
{
    const QFileInfo file(original);
    return file.dir().filePath(file.completeBaseName() + QStringLiteral("（标注）.docx"));
}

}  // namespace markedpaper
