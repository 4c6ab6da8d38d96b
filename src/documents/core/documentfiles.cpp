#include "documents/core/documentfiles.h"

#include "documents/core/docconverter.h"
#include "documents/core/docxreader.h"
#include "documents/core/pdftext.h"
#include "documents/core/rtfreader.h"
#include "documents/core/rtfwriter.h"
#include "documents/core/textdecoding.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace documents {

namespace {

// Papers are text; anything larger is surely not one and would only exhaust memory.
constexpr qint64 kMaxFileSize = 512LL * 1024 * 1024;

bool isCompoundDocument(QByteArrayView bytes) { return bytes.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"); }
bool isZip(QByteArrayView bytes) { return bytes.startsWith("PK\x03\x04"); }

PdfPageReader& pdfPageReader()
{
    static PdfPageReader reader;
    return reader;
}

QString shownPath(const QString& path) { return QDir::toNativeSeparators(path); }

Failure unreadable(const QString& path, const QString& reason)
{
    return failure(QStringLiteral("无法读取 %1：%2").arg(shownPath(path), reason));
}

Result<QByteArray> readWholeFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(QStringLiteral("无法打开文件 %1：%2").arg(shownPath(path), file.errorString()));
    if (file.size() > kMaxFileSize)
        return failure(QStringLiteral("文件太大，无法打开：%1").arg(shownPath(path)));
    return file.readAll();
}

Result<LoadedDocument> fromRtf(QByteArrayView bytes, bool keepFormatting)
{
    Result<Document> rtf = readRtf(bytes);
    if (!rtf)
        return failure(rtf.error());
    LoadedDocument result;
    result.rich = keepFormatting;
    result.document = keepFormatting ? std::move(*rtf) : documentFromPlainText(rtf->plainText());
    return result;
}

LoadedDocument fromPlainText(const QString& text, const QString& warning = {})
{
    LoadedDocument result;
    result.document = documentFromPlainText(text);
    result.warning = warning;
    return result;
}

Result<LoadedDocument> fromDocx(const QString& path, QByteArray bytes)
{
    const Result<QString> text = readDocxText(std::move(bytes));
    if (!text)
        return unreadable(path, text.error());
    return fromPlainText(*text);
}

Result<LoadedDocument> fromWordConverter(const QString& path)
{
    const Result<QString> text = convertDoc(path);
    if (!text)
        return failure(QStringLiteral("无法读取 Word 文档：%1").arg(text.error()));
    return fromPlainText(*text);
}

// Word documents give their plain text only, formatting dropped. A file with
// a Word name that holds RTF (as this program saves it) is read directly, and
// one that holds Word's XML document (a renamed .docx) as that.
Result<LoadedDocument> loadWordDocument(const QString& path)
{
    Result<QByteArray> bytes = readWholeFile(path);
    if (!bytes)
        return failure(bytes.error());
    if (looksLikeRtf(*bytes))
        return fromRtf(*bytes, false);
    if (isZip(*bytes))
        return fromDocx(path, std::move(*bytes));
    if (!isCompoundDocument(*bytes))
        return failure(QStringLiteral("%1 不是 Word 文档。").arg(shownPath(path)));
    return fromWordConverter(path);
}

// The page text as the PDF engine gives it, its lines joined into paragraphs.
Result<LoadedDocument> fromPdf(const QString& path, QByteArrayView bytes)
{
    // The header may follow some junk, as PDF readers allow, but not much.
    if (!bytes.first(std::min<qsizetype>(bytes.size(), 1024)).contains("%PDF-"))
        return unreadable(path, QStringLiteral("文件不是 PDF 文档。"));
    if (!pdfPageReader())
        return unreadable(path, QStringLiteral("本程序没有带 PDF 阅读组件。"));
    const Result<QStringList> pages = pdfPageReader()(path);
    if (!pages)
        return unreadable(path, pages.error());
    const QString text = joinPdfLines(*pages);
    // A scan holds pictures of pages only; an empty editor would look like success.
    if (text.trimmed().isEmpty())
        return unreadable(path, QStringLiteral("PDF 中没有可提取的文字（可能是扫描的图片）。"));
    return fromPlainText(text);
}

Result<LoadedDocument> fromLibreOffice(const QString& path)
{
    const Result<QString> text = convertWithLibreOffice(path);
    if (!text)
        return unreadable(path, text.error());
    return fromPlainText(*text);
}

Result<LoadedDocument> loadOtherFile(const QString& path)
{
    Result<QByteArray> bytes = readWholeFile(path);
    if (!bytes)
        return failure(bytes.error());
    // What this program saved is RTF under any name; it comes back as it was.
    if (looksLikeRtf(*bytes))
        return fromRtf(*bytes, true);
    const QString suffix = path.mid(path.lastIndexOf(u'.') + 1).toLower();
    if (suffix == u"docx" || suffix == u"docm" || suffix == u"dotx" || suffix == u"dotm") {
        // An old Word document renamed .docx is still a Word document.
        return isCompoundDocument(*bytes) ? fromWordConverter(path) : fromDocx(path, std::move(*bytes));
    }
    if (suffix == u"pdf")
        return fromPdf(path, *bytes);
    if (suffix == u"odt" || suffix == u"wps")
        return fromLibreOffice(path);
    if (suffix == u"rtf")
        return failure(QStringLiteral("RTF 文件已损坏：文件不以“{\\rtf”开头。"));
    const DecodedText decoded = decodeText(*bytes);
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

Result<LoadedDocument> loadDocumentFile(const QString& path)
{
    if (path.isEmpty())
        return failure(QStringLiteral("没有选择文件。"));
    return isWordDocumentName(path) ? loadWordDocument(path) : loadOtherFile(path);
}

Result<void> saveRtfFile(const Document& document, const QString& path)
{
    QSaveFile file(path);
    const QByteArray bytes = writeRtf(document);
    // Unbuffered: with a buffer, a small file whose only write fails at commit
    // (a full disk) is put in place empty and the commit reports success.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || file.write(bytes) != bytes.size()
        || !file.commit())
        return failure(file.errorString());
    return {};
}

void setPdfPageReader(PdfPageReader reader) { pdfPageReader() = std::move(reader); }

}  // namespace documents
