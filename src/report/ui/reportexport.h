#pragma once
// Writing the check report to a file the user names: the HTML as it is, or a
// PDF printed by the browser engine from that HTML (A4, its text selectable).
// A failed write leaves no file behind, and an earlier file of that name whole.

#include "platform/core/result.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace reportexport {

// The save dialog's file types; the choice is read from the name's suffix.
QString fileTypes();  // "网页文件(*.html);;PDF文件(*.pdf)"

bool isPdfName(const QString& fileName);  // ends in ".pdf", any case
// A name without a suffix gets ".html", as the first file type says.
QString withSuffix(const QString& fileName);

// Told what the export is doing, once a second while the engine works
// ("正在排版检测报告……已用 3 秒"), so that a window can show it.
using Progress = std::function<void(const QString&)>;

// Lays out `html` in an off-screen page and prints it as A4. Lets events run
// while the engine works; gives up after `timeoutMs`.
Result<QByteArray> printPdf(const QByteArray& html, int timeoutMs = 120000, const Progress& progress = {});

// Writes `html`, or the PDF of it when the name ends in ".pdf", atomically.
Result<void> write(const QByteArray& html, const QString& fileName, const Progress& progress = {});

}  // namespace reportexport
