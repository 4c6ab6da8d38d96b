#pragma once
// The check report as a PDF, laid out by Qt's own text layout and written by
// QPdfWriter: A4 portrait, a header (the paper's first line and the check's
// date) and a footer ("第 N 页 / 共 M 页") on every page, the program's CJK
// font embedded as a subset so that the text can be selected and searched,
// the HTML's colours, real links, and no heading left as a page's last line.
//
// Needs a QGuiApplication (fonts and text layout); the "offscreen" platform
// serves a process without a display. Runs on any one thread at a time: the
// report window calls it on a worker thread.

#include "platform/core/result.h"
#include "report/core/reportmodel.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace report {

// Told how far the writing is: (0, 0) while the report is laid out, then
// (page, pages) as each page is drawn. Called on the writing thread.
using PdfProgress = std::function<void(int page, int pages)>;

// The PDF's bytes.
Result<QByteArray> pdfBytes(const CheckReportModel& model, const PdfProgress& progress = {});

// Writes the PDF to `path` through a temporary file beside it: a failed write
// (a full disk, a read-only folder) leaves no half-written file behind and an
// earlier file of that name whole.
Result<void> writePdf(const CheckReportModel& model, const QString& path, const PdfProgress& progress = {});

// The font family the PDF is set in: "宋体" where installed, otherwise an
// installed Chinese font standing in for it.
QString pdfFontFamily();

}  // namespace report
