#include "analysis/earlierversion.h"

#include "analysis/scoring.h"
#include "analysis/segmentation.h"
#include "platform/core/numberformat.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

qsizetype EarlierVersion::checkedKept() const
{
    qsizetype n = 0;
    for (const qsizetype i : cut.earlierIndex)
        if (i >= 0 && check.pieces.value(i).checked)
            ++n;
    return n;
}

namespace earlierversion {
namespace {

QStringList checkFilesNewestFirst(const QString& folder)
{
    static const QRegularExpression kName(QStringLiteral("^[0-9a-f]{64}\\.json$"));
    QStringList paths;
    for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files, QDir::Time))
        if (kName.match(info.fileName()).hasMatch())
            paths << info.absoluteFilePath();
    return paths;
}

// A kept check's text and engine, read from the start of its file without
// reading it whole: a thesis's check holds 10 MB of results, 150 ms to read
// (bench_recut), and an analysis looks through up to 50 of them. The checks
// are written with their keys in order, so these two lead the file; a file
// laid out otherwise gives nothing and is read whole.
struct Lead {
    QString analysedText;
    QString engine;
};

// The end of the JSON string that starts at `from`: its closing quote.
qsizetype stringEnd(QByteArrayView bytes, qsizetype from)
{
    for (qsizetype i = from; i < bytes.size(); ++i) {
        if (bytes[i] == '\\')
            ++i;
        else if (bytes[i] == '"')
            return i;
    }
    return -1;
}

std::optional<QString> jsonString(QByteArrayView quoted)
{
    const QJsonDocument doc = QJsonDocument::fromJson("[" + quoted.toByteArray() + "]");
    if (!doc.isArray() || !doc.array().first().isString())
        return std::nullopt;
    return doc.array().first().toString();
}

std::optional<Lead> readLead(const QString& path)
{
    static constexpr QByteArrayView kText = "{\"analysedText\":\"";
    static constexpr QByteArrayView kEngine = ",\"engine\":\"";
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() <= 0)
        return std::nullopt;
    const uchar* mapped = file.map(0, file.size());
    if (!mapped)
        return std::nullopt;
    const QByteArrayView bytes(mapped, file.size());
    if (!bytes.startsWith(kText))
        return std::nullopt;
    const qsizetype textEnd = stringEnd(bytes, kText.size());
    if (textEnd < 0 || !bytes.sliced(textEnd + 1).startsWith(kEngine))
        return std::nullopt;
    const qsizetype engineStart = textEnd + 1 + kEngine.size();
    const qsizetype engineEnd = stringEnd(bytes, engineStart);
    if (engineEnd < 0)
        return std::nullopt;
    const auto text = jsonString(bytes.sliced(kText.size() - 1, textEnd - kText.size() + 2));
    const auto engine = jsonString(bytes.sliced(engineStart - 1, engineEnd - engineStart + 2));
    if (!text || !engine)
        return std::nullopt;
    return Lead{*text, *engine};
}

// Whether a check is worth reading whole. Its pieces are unknown until then,
// so the analysis's cut of its text stands in for them; a kept cut differs
// from it only at the ends of its kept runs, hence the margin (a quarter
// instead of half).
bool mayBeEarlierVersion(const QString& path, const QString& analysedText, const QString& engine)
{
    const std::optional<Lead> lead = readLead(path);
    if (!lead)
        return true;
    if (lead->engine != engine || lead->analysedText == analysedText)
        return false;
    return 4 * keptcut::coveredLength(segmentation::cutIntoPieces(lead->analysedText), analysedText)
        >= analysedText.size();
}

void copySlots(const QStringList& from, qsizetype fromPiece, QStringList& to, qsizetype toPiece)
{
    const qsizetype k = scoring::kResultsPerPage;
    for (qsizetype slot = 0; slot < k; ++slot)
        to[k * toPiece + slot] = from.value(k * fromPiece + slot);
}

}  // namespace

std::optional<EarlierVersion> find(const QString& folder, const QString& analysedText, const QString& engine)
{
    std::optional<EarlierVersion> best;
    for (const QString& path : checkFilesNewestFirst(folder)) {
        if (!mayBeEarlierVersion(path, analysedText, engine))
            continue;
        Result<SavedCheck> check = savedcheck::read(path);
        if (!check || check->engine != engine || check->analysedText == analysedText)
            continue;
        keptcut::KeptCut cut = keptcut::recut(check->sentences, analysedText);
        if (cut.keptCount() == 0 || (best && cut.keptLength <= best->cut.keptLength))
            continue;
        best = EarlierVersion{std::move(*check), std::move(cut)};
    }
    return best;
}

QString question(const EarlierVersion& earlier)
{
    const QDateTime at = earlier.check.savedAt.toLocalTime();
    return QStringLiteral("这篇论文与 %1月%2日 %3 检测过的版本相比，有 %4 句未改动。"
                          "是否沿用这些句子的结果，只对比改动过的 %5 句？")
        .arg(at.date().month())
        .arg(at.date().day())
        .arg(at.time().toString(QStringLiteral("HH:mm")))
        .arg(numfmt::format(qint64(earlier.checkedKept())))
        .arg(numfmt::format(qint64(earlier.toCompare())));
}

QString carriedOverText(const EarlierVersion& earlier)
{
    return QStringLiteral("已沿用 ") + numfmt::format(qint64(earlier.checkedKept()))
        + QStringLiteral(" 句的结果，还需对比 ") + numfmt::format(qint64(earlier.toCompare()))
        + QStringLiteral(" 句。");
}

void carryOver(const EarlierVersion& earlier, ComparisonSession& session)
{
    session.sentences = earlier.cut.pieces;
    const qsizetype n = session.sentences.size();
    session.pieces = QList<PieceResult>(n);
    session.resultBlocks = QStringList(session.slotCount());
    session.resultTitles = QStringList(session.slotCount());
    session.resultSites = QList<std::optional<int>>(session.slotCount());
    session.similaritySum = 0;
    session.pageCount = 1;
    for (qsizetype j = 0; j < n; ++j) {
        const qsizetype i = earlier.cut.earlierIndex[j];
        if (i < 0 || !earlier.check.pieces.value(i).checked)
            continue;
        session.pieces[j] = earlier.check.pieces[i];  // whole, with whatever a result holds
        copySlots(earlier.check.resultBlocks, i, session.resultBlocks, j);
        copySlots(earlier.check.resultTitles, i, session.resultTitles, j);
        session.similaritySum += session.pieces[j].figure;
        ++session.pageCount;
    }
    session.nextIndex = 0;
    session.lastIndex = 0;
    session.resultsPending = true;
    session.suppressListClick = true;
}

QString overallLabel(const ComparisonSession& session)
{
    // As Label2 reads after the last carried piece's page: divided by the
    // pages counted before it was added.
    ComparisonSession counted;
    counted.similaritySum = session.similaritySum;
    counted.pageCount = session.pageCount - 1;
    const double overall = scoring::overallSimilarity(counted);
    return QStringLiteral("目前总体相似度：")
        + (overall > 100 ? QStringLiteral("100") : numfmt::format(overall)) + u'%';
}

}  // namespace earlierversion
