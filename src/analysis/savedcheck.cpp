#include "analysis/savedcheck.h"

#include "analysis/keptcut.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

const QString kFormat = QStringLiteral("trovalis-check");
// Version 2 keeps each result's summary; version 1 files are still read.
constexpr int kVersion = 2;
constexpr int kVersionWithoutSummaries = 1;
// A thesis of a million characters with ten results per piece stays far
// below this; anything larger is not one of our files.
constexpr qint64 kMaxFileBytes = 512LL * 1024 * 1024;
const QStringList kEngines = {QStringLiteral("baidu"), QStringLiteral("wenku"), QStringLiteral("zhiwang"),
                              QStringLiteral("longyuan")};

const QRegularExpression& checkFileName()
{
    static const QRegularExpression kName(QStringLiteral("^[0-9a-f]{64}\\.json$"));
    return kName;
}

QJsonArray toArray(const QStringList& list)
{
    QJsonArray a;
    for (const QString& s : list)
        a.append(s);
    return a;
}

QJsonObject toObject(const PieceResult& piece)
{
    QJsonArray results;
    for (const ResultLink& r : piece.results) {
        QJsonArray highlighted;
        for (const TextStretch& h : r.highlighted)
            highlighted.append(QJsonArray{qint64(h.start), qint64(h.length)});
        results.append(QJsonObject{{QStringLiteral("title"), r.title},
                                   {QStringLiteral("url"), r.url},
                                   {QStringLiteral("summary"), r.summary},
                                   {QStringLiteral("highlighted"), highlighted}});
    }
    return QJsonObject{{QStringLiteral("checked"), piece.checked},
                       {QStringLiteral("figure"), piece.figure},
                       {QStringLiteral("results"), results}};
}

// Reading: every field is checked for its type; a file that holds anything
// else is not used, whatever else in it looks right.
struct Reader {
    bool ok = true;
    bool summaries = true;  // the file's results carry their summaries

    QJsonValue field(const QJsonObject& o, const QString& key)
    {
        if (!o.contains(key))
            ok = false;
        return o.value(key);
    }
    QString string(const QJsonObject& o, const QString& key)
    {
        const QJsonValue v = field(o, key);
        ok = ok && v.isString();
        return v.toString();
    }
    bool boolean(const QJsonObject& o, const QString& key)
    {
        const QJsonValue v = field(o, key);
        ok = ok && v.isBool();
        return v.toBool();
    }
    double number(const QJsonObject& o, const QString& key)
    {
        const QJsonValue v = field(o, key);
        ok = ok && v.isDouble() && std::isfinite(v.toDouble());
        return v.toDouble();
    }
    qint32 integer(const QJsonObject& o, const QString& key)
    {
        const double d = number(o, key);
        ok = ok && d == std::floor(d) && d >= -2147483648.0 && d <= 2147483647.0;
        return ok ? qint32(d) : 0;
    }
    QJsonArray array(const QJsonObject& o, const QString& key)
    {
        const QJsonValue v = field(o, key);
        ok = ok && v.isArray();
        return v.toArray();
    }
    QStringList strings(const QJsonObject& o, const QString& key)
    {
        QStringList list;
        for (const QJsonValue& v : array(o, key)) {
            ok = ok && v.isString();
            list.append(v.toString());
        }
        return list;
    }
    PieceResult piece(const QJsonValue& value)
    {
        ok = ok && value.isObject();
        const QJsonObject o = value.toObject();
        PieceResult p;
        p.checked = boolean(o, QStringLiteral("checked"));
        p.figure = number(o, QStringLiteral("figure"));
        ok = ok && p.figure >= 0;
        for (const QJsonValue& r : array(o, QStringLiteral("results"))) {
            ok = ok && r.isObject();
            p.results.append(result(r.toObject()));
        }
        return p;
    }
    ResultLink result(const QJsonObject& o)
    {
        ResultLink link{string(o, QStringLiteral("title")), string(o, QStringLiteral("url"))};
        if (!summaries)
            return link;
        link.summary = string(o, QStringLiteral("summary"));
        // In order, not overlapping, inside the summary: the report marks them as given.
        qsizetype end = 0;
        for (const QJsonValue& v : array(o, QStringLiteral("highlighted"))) {
            const QJsonArray pair = v.toArray();
            ok = ok && v.isArray() && pair.size() == 2 && pair[0].isDouble() && pair[1].isDouble();
            const TextStretch h{qsizetype(pair[0].toDouble(-1)), qsizetype(pair[1].toDouble(-1))};
            ok = ok && h.start >= end && h.length > 0 && h.start + h.length <= link.summary.size();
            end = h.start + h.length;
            link.highlighted.append(h);
        }
        return link;
    }
};

Failure damaged(const QString& path)
{
    return failure(QStringLiteral("检测记录已损坏，无法使用：") + QDir::toNativeSeparators(path));
}

}  // namespace

qsizetype SavedCheck::checkedCount() const
{
    return std::count_if(pieces.begin(), pieces.end(), [](const PieceResult& p) { return p.checked; });
}

namespace savedcheck {

QString pathFor(const QString& folder, const QString& analysedText)
{
    const QByteArray hash =
        QCryptographicHash::hash(analysedText.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QDir(folder).filePath(QString::fromLatin1(hash) + QStringLiteral(".json"));
}

QString folderIn(const QString& dataFolder) { return QDir(dataFolder).filePath(QStringLiteral("checks")); }

SavedCheck fromSession(const ComparisonSession& session, const QString& label2, const QString& engine,
                       bool finished)
{
    SavedCheck check;
    check.analysedText = session.analysedText;
    check.sentences = session.sentences;
    check.pieces = session.pieces;
    check.resultBlocks = session.resultBlocks;
    check.resultTitles = session.resultTitles;
    check.nextIndex = session.nextIndex;
    check.lastIndex = session.lastIndex;
    check.pageCount = session.pageCount;
    check.similaritySum = session.similaritySum;
    check.label2 = label2;
    check.engine = engine;
    check.finished = finished;
    check.savedAt = QDateTime::currentDateTimeUtc();
    return check;
}

void restoreInto(const SavedCheck& check, ComparisonSession& session)
{
    session.pieces = check.pieces;
    session.resultBlocks = check.resultBlocks;
    session.resultTitles = check.resultTitles;
    session.resultSites = QList<std::optional<int>>(check.resultBlocks.size());
    session.nextIndex = check.nextIndex;
    session.lastIndex = check.lastIndex;
    session.pageCount = check.pageCount;
    session.similaritySum = check.similaritySum;
    session.resultsPending = true;
    // The run goes on from nextIndex: the first Compare must not go back to
    // the top as the first one after an analysis does.
    session.suppressListClick = false;
}

Result<void> write(const SavedCheck& check, const QString& path)
{
    QJsonArray pieces;
    for (const PieceResult& p : check.pieces)
        pieces.append(toObject(p));
    const QJsonObject root{
        {QStringLiteral("format"), kFormat},
        {QStringLiteral("version"), kVersion},
        {QStringLiteral("analysedText"), check.analysedText},
        {QStringLiteral("sentences"), toArray(check.sentences)},
        {QStringLiteral("pieces"), pieces},
        {QStringLiteral("resultBlocks"), toArray(check.resultBlocks)},
        {QStringLiteral("resultTitles"), toArray(check.resultTitles)},
        {QStringLiteral("nextIndex"), check.nextIndex},
        {QStringLiteral("lastIndex"), check.lastIndex},
        {QStringLiteral("pageCount"), check.pageCount},
        {QStringLiteral("similaritySum"), check.similaritySum},
        {QStringLiteral("label2"), check.label2},
        {QStringLiteral("engine"), check.engine},
        {QStringLiteral("finished"), check.finished},
        {QStringLiteral("savedAt"), check.savedAt.toUTC().toString(Qt::ISODateWithMs)},
        {QStringLiteral("paperText"), check.paperText},
    };
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        return failure(QStringLiteral("无法创建文件夹 ") + QDir::toNativeSeparators(folder));
    QSaveFile file(path);
    // Unbuffered: a buffered write that fails only when the buffer is flushed
    // at commit (a full disk) is not seen by QSaveFile, which then puts the
    // empty temporary file in place of the earlier check (Qt 6.4, measured).
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return failure(QStringLiteral("无法写入 ") + QDir::toNativeSeparators(path) + QStringLiteral("：")
                       + file.errorString());
    const QByteArray bytes = QJsonDocument(root).toJson(QJsonDocument::Compact);
    if (file.write(bytes) != bytes.size() || !file.commit())
        return failure(QStringLiteral("无法写入 ") + QDir::toNativeSeparators(path) + QStringLiteral("：")
                       + file.errorString());
    return {};
}

Result<SavedCheck> read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(QStringLiteral("无法读取 ") + QDir::toNativeSeparators(path) + QStringLiteral("：")
                       + file.errorString());
    if (file.size() > kMaxFileBytes)
        return damaged(path);
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return damaged(path);
    const QJsonObject root = doc.object();
    if (root.value(QStringLiteral("format")).toString() != kFormat)
        return damaged(path);
    const QJsonValue version = root.value(QStringLiteral("version"));
    if (version != QJsonValue(kVersion) && version != QJsonValue(kVersionWithoutSummaries))
        return failure(QStringLiteral("检测记录来自其他版本，无法使用：") + QDir::toNativeSeparators(path));

    Reader r;
    r.summaries = version == QJsonValue(kVersion);
    SavedCheck check;
    check.summariesKept = r.summaries;
    check.analysedText = r.string(root, QStringLiteral("analysedText"));
    check.sentences = r.strings(root, QStringLiteral("sentences"));
    for (const QJsonValue& p : r.array(root, QStringLiteral("pieces")))
        check.pieces.append(r.piece(p));
    check.resultBlocks = r.strings(root, QStringLiteral("resultBlocks"));
    check.resultTitles = r.strings(root, QStringLiteral("resultTitles"));
    check.nextIndex = r.integer(root, QStringLiteral("nextIndex"));
    check.lastIndex = r.integer(root, QStringLiteral("lastIndex"));
    check.pageCount = r.integer(root, QStringLiteral("pageCount"));
    check.similaritySum = r.number(root, QStringLiteral("similaritySum"));
    check.label2 = r.string(root, QStringLiteral("label2"));
    check.engine = r.string(root, QStringLiteral("engine"));
    check.finished = r.boolean(root, QStringLiteral("finished"));
    check.savedAt = QDateTime::fromString(r.string(root, QStringLiteral("savedAt")), Qt::ISODateWithMs);
    if (root.contains(QStringLiteral("paperText")))  // absent from the first files kept
        check.paperText = r.string(root, QStringLiteral("paperText"));
    if (!r.ok)
        return damaged(path);

    // The parts must hang together: the pieces are those of the text, one
    // result per piece, the session's slots, indices inside the list.
    const qsizetype n = check.sentences.size();
    const bool consistent = keptcut::isCutOf(check.sentences, check.analysedText) && check.pieces.size() == n
        && check.resultBlocks.size() == 10 * n + 1 && check.resultTitles.size() == 10 * n + 1
        && check.nextIndex >= 0 && check.nextIndex <= n && check.lastIndex >= 0
        && check.lastIndex <= std::max<qsizetype>(n - 1, 0) && check.pageCount >= 1
        && check.similaritySum >= 0 && kEngines.contains(check.engine) && check.savedAt.isValid();
    if (!consistent)
        return damaged(path);
    return check;
}

Result<SavedCheck> readFor(const QString& folder, const QString& analysedText)
{
    const QString path = pathFor(folder, analysedText);
    Result<SavedCheck> check = read(path);
    // Another text under this name (a copied file, a changed cut): not this paper's check.
    if (check && check->analysedText != analysedText)
        return failure(QStringLiteral("检测记录属于另一篇论文：") + QDir::toNativeSeparators(path));
    return check;
}

void prune(const QString& folder, int keep)
{
    QDir dir(folder);
    QFileInfoList files;
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files, QDir::Time))
        if (checkFileName().match(info.fileName()).hasMatch())
            files.append(info);
    for (qsizetype i = std::max(keep, 0); i < files.size(); ++i)
        QFile::remove(files[i].absoluteFilePath());
}

}  // namespace savedcheck
