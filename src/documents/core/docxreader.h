#pragma once
// The text of Word's XML documents (.docx; .docm and .dotx are packaged the
// same way), as the word processor shows it without formatting: each
// paragraph a line with its list number or bullet, tabs and line breaks kept,
// the cells of tables in reading order, the results of fields (not their
// codes), inserted revisions kept and deleted ones left out, then the
// footnotes and the endnotes after the body.
//
// The input comes from strangers: a document type definition (the road to
// entity bombs; the format never uses one) is refused, and no part may
// unpack to more than the limit.

#include "platform/core/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace documents {

struct DocxLimits {
    qint64 maxPartSize = 200LL * 1024 * 1024;  // unpacked bytes of one XML part
};

// Lines separated by LF. The reason of a failure names the part, not the file.
Result<QString> readDocxText(QByteArray package, const DocxLimits& limits = {});

// The same reading of a main part on its own, with its numbering and styles
// parts (either may be empty): the XML without a package around it.
Result<QString> readWordprocessingXml(QByteArrayView document, QByteArrayView numbering = {},
                                      QByteArrayView styles = {});

}  // namespace documents
