#pragma once
// Writing the check report to a file the user names: the HTML, or the PDF
// laid out from the same model (report_pdf) on a worker thread while the
// window's events run. A failed write leaves no file behind, and an earlier
// file of that name whole.

#include "platform/core/result.h"
#include "report/core/reportmodel.h"

#include <QString>

#include <functional>

namespace reportexport {

// The save dialog's file types; the choice is read from the name's suffix.
QString fileTypes();  // "网页文件(*.html);;PDF文件(*.pdf)"

bool isPdfName(const QString& fileName);  // ends in ".pdf", any case
// A name without a suffix gets ".html", as the first file type says.
QString withSuffix(const QString& fileName);

// Told what the export is doing ("正在排版检测报告……", "正在生成 PDF……第 3 / 40 页"),
// on the calling thread, so that a window can show it.
using Progress = std::function<void(const QString&)>;

// Writes the report as HTML, or as PDF when the name ends in ".pdf". The PDF
// is made on a worker thread; events run here meanwhile.
Result<void> write(const report::CheckReportModel& model, const QString& fileName,
                   const Progress& progress = {});

}  // namespace reportexport
