#pragma once
// The text of a PDF as the editor should hold it. A PDF keeps no paragraphs,
// only lines as they were set on the page; the lines of one paragraph are
// joined again where a line does not end a sentence. QtCore only: the PDF
// reader itself lives in a library of its own.

#include <QString>
#include <QStringList>

namespace documents {

// `pages` holds each page's text with its lines as the reader gave them
// (CR LF, LF or CR). Returns the paragraphs separated by LF; a page always
// ends a line. A line-end hyphen stays the hyphen it is (the reader may mark
// it U+FFFE); Latin words joined across a line get a space, Chinese do not.
QString joinPdfLines(const QStringList& pages);

}  // namespace documents
