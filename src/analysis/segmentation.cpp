#include "analysis/segmentation.h"

#include "platform/core/gbk.h"
#include "platform/core/numberformat.h"

namespace segmentation {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
constexpr QChar kIdeographicSpace(0x3000);

// Trims spaces only, so a tab at a piece's edge stays.
QString trimSpaces(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == u' ')
        ++begin;
    while (end > begin && text[end - 1] == u' ')
        --end;
    return text.mid(begin, end - begin);
}

}  // namespace

QString normalise(QStringView editorText)
{
    QString text = editorText.toString();
    text.replace(u'!', u'！');
    text.replace(u'?', u'？');

    // Each pass on its own, in this order, as the passes can feed each other.
    const QString lineEndPatterns[] = {
        QStringLiteral("  ") + kCrLf,          QStringLiteral(" ") + kCrLf,
        QString(2, kIdeographicSpace) + kCrLf, QString(kIdeographicSpace) + kCrLf,
        QStringLiteral("\t") + kCrLf,
    };
    for (const QString& pattern : lineEndPatterns)
        text.replace(pattern, kCrLf);

    text.removeIf([](QChar c) { return c == u'\r' || c == u'\n' || c == u' ' || c == kIdeographicSpace; });
    return text;
}

QChar normalisedCharacter(QChar c)
{
    if (c == u'!')
        return u'！';
    if (c == u'?')
        return u'？';
    return c;
}

QStringList cutIntoPieces(const QString& analysedText)
{
    const qsizetype length = analysedText.size();
    if (length == 0)
        return {};
    QString chunkText;
    chunkText.reserve(length + (length / kPieceLength + 1) * kPieceMarker.size());
    for (qsizetype start = 0; start < length; start += kPieceLength) {
        chunkText += QStringView(analysedText).mid(start, kPieceLength);
        if (start + kPieceLength >= length)
            break;
        chunkText += kPieceMarker;
    }
    return chunkText.split(kPieceMarker);
}

QString summary(qsizetype doubleByteCount, qsizetype pieceCount)
{
    return QStringLiteral("本文共 ") + numfmt::format(qint64(doubleByteCount))
        + QStringLiteral(" 字，本次分析共分析出 ") + numfmt::format(qint64(pieceCount))
        + QStringLiteral(" 句，请多次点击进行对比！");
}

QStringList listItems(const QStringList& sentences)
{
    QStringList items;
    items.reserve(sentences.size());
    for (qsizetype i = 0; i < sentences.size(); ++i)
        items << QString::number(i + 1) + u'-' + trimSpaces(sentences[i]);
    return items;
}

Analysis analyse(QStringView editorText)
{
    Analysis result;
    result.analysedText = normalise(editorText);
    result.sentences = cutIntoPieces(result.analysedText);
    result.doubleByteCount = gbk::doubleByteCount(result.analysedText);
    result.summary = summary(result.doubleByteCount, result.sentences.size());
    result.listItems = listItems(result.sentences);
    return result;
}

void resetSession(ComparisonSession& session, const Analysis& analysis)
{
    session.analysedText = analysis.analysedText;
    session.sentences = analysis.sentences;
    session.nextIndex = 0;
    session.pageCount = 1;
    session.autoRunning = false;
    session.similaritySum = 0;
    session.resultsPending = true;
    session.lastIndex = 0;

    const qsizetype slotCount = session.slotCount();
    session.resultBlocks = QStringList(slotCount);
    session.resultTitles = QStringList(slotCount);
    session.resultSites = QList<std::optional<int>>(slotCount);
    session.pieces = QList<PieceResult>(analysis.sentences.size());
    session.suppressListClick = true;
}

}  // namespace segmentation
