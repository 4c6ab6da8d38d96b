#pragma once
// The text of PDF files, page by page, through Qt PDF. Measured against
// poppler-qt6 on Chinese PDFs: Qt PDF read a damaged character map exactly
// where poppler's word list put spaces between Chinese words (and its page
// text gave nothing), and it marks a line-end hyphen, which the line joining
// needs; poppler was about twice as fast, both well within a second or two
// for 300 pages.

#include "platform/core/result.h"

#include <QString>
#include <QStringList>

namespace pdf {

// Each page's text with its lines. A password, a damaged file or one that is
// no PDF fail with the reason (without the file name).
Result<QStringList> readPdfPages(const QString& path);

// Makes documents::loadDocumentFile read PDFs with readPdfPages; once is enough.
void install();

}  // namespace pdf
