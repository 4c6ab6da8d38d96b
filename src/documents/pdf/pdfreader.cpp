#include "documents/pdf/pdfreader.h"

#include "documents/core/documentfiles.h"

#include <QPdfDocument>
#include <QPdfSelection>

namespace pdf {

Result<QStringList> readPdfPages(const QString& path)
{
    QPdfDocument document;
    switch (document.load(path)) {
    case QPdfDocument::Error::None:
        break;
    case QPdfDocument::Error::IncorrectPassword:
        return failure(QStringLiteral("文件有密码保护，请提供一份未加密的副本。"));
    case QPdfDocument::Error::UnsupportedSecurityScheme:
        return failure(QStringLiteral("文件的加密方式不受支持，请提供一份未加密的副本。"));
    case QPdfDocument::Error::FileNotFound:
        return failure(QStringLiteral("找不到文件。"));
    default:
        return failure(QStringLiteral("PDF 文件已损坏，或其格式不受支持。"));
    }
    QStringList pages;
    pages.reserve(document.pageCount());
    for (int page = 0; page < document.pageCount(); ++page)
        pages.append(document.getAllText(page).text());
    return pages;
}

void install() { documents::setPdfPageReader(readPdfPages); }

}  // namespace pdf
