#include "mainwindow/documents/documentfiles.h"

#include "mainwindow/documents/docconverter.h"
#include "mainwindow/documents/rtfreader.h"
#include "mainwindow/documents/rtfwriter.h"
#include "mainwindow/documents/textdecoding.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace documents {

namespace {

// Papers are text; anything larger is surely not one and would only exhaust memory.
constexpr qint64 kMaxFileSize = 512LL * 1024 * 1024;

bool isCompoundDocument(QByteArrayView bytes) { return bytes.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"); }

LoadedDocument failure(const QString& error)
{
    LoadedDocument result;
    result.error = error;
    return result;
}

bool readWholeFile(const QString& path, QByteArray* bytes, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error =
            QStringLiteral("无法打开文件 %1：%2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    if (file.size() > kMaxFileSize) {
        *error = QStringLiteral("文件太大，无法打开：%1").arg(QDir::toNativeSeparators(path));
        return false;
    }
    *bytes = file.readAll();
    return true;
}

LoadedDocument fromRtf(QByteArrayView bytes, bool keepFormatting)
{
    RtfReadResult rtf = readRtf(bytes);
    if (!rtf.ok)
        return failure(rtf.error);
    LoadedDocument result;
    result.ok = true;
    result.rich = keepFormatting;
    result.document =
        keepFormatting ? std::move(rtf.document) : documentFromPlainText(rtf.document.plainText());
    return result;
}

LoadedDocument fromPlainText(const QString& text, const QString& warning = {})
{
    LoadedDocument result;
    result.ok = true;
    result.document = documentFromPlainText(text);
    result.warning = warning;
    return result;
}

// Word documents give their plain text only, formatting dropped. A file with
// a Word name that holds RTF (as this program saves it) is read directly.
LoadedDocument loadWordDocument(const QString& path)
{
    QByteArray bytes;
    QString error;
    if (!readWholeFile(path, &bytes, &error))
        return failure(error);
    if (looksLikeRtf(bytes))
        return fromRtf(bytes, false);
    if (!isCompoundDocument(bytes))
        return failure(QStringLiteral("%1 不是 Word 文档。").arg(QDir::toNativeSeparators(path)));
    const DocConversion conversion = convertDoc(path);
    if (!conversion.ok)
        return failure(QStringLiteral("无法读取 Word 文档：%1").arg(conversion.error));
    return fromPlainText(conversion.text);
}

LoadedDocument loadOtherFile(const QString& path)
{
    QByteArray bytes;
    QString error;
    if (!readWholeFile(path, &bytes, &error))
        return failure(error);
    if (looksLikeRtf(bytes))
        return fromRtf(bytes, true);
    if (path.endsWith(QLatin1String(".rtf"), Qt::CaseInsensitive))
        return failure(QStringLiteral("RTF 文件已损坏：文件不以“{\\rtf”开头。"));
    const DecodedText decoded = decodeText(bytes);
    const QString warning = decoded.lossy
        ? QStringLiteral("文件中有无法识别的字节（按 %1 解码），已显示为“\uFFFD”。").arg(decoded.encoding)
        : QString();
    return fromPlainText(decoded.text, warning);
}

}  // namespace

bool isWordDocumentName(const QString& fileName)
{
    const QStringView tail = QStringView(fileName).right(3);
    return tail == u"doc" || tail == u"DOC" || tail == u"Doc";
}

LoadedDocument loadDocumentFile(const QString& path)
{
    if (path.isEmpty())
        return failure(QStringLiteral("没有选择文件。"));
    return isWordDocumentName(path) ? loadWordDocument(path) : loadOtherFile(path);
}

bool saveRtfFile(const Document& document, const QString& path, QString* error)
{
    QSaveFile file(path);
    const QByteArray bytes = writeRtf(document);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

}  // namespace documents
