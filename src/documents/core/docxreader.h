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
#include <QHash>
#include <QString>

#include <functional>
#include <vector>

class QXmlStreamReader;

namespace documents {

class MemoryZip;

struct DocxLimits {
    qint64 maxPartSize = 200LL * 1024 * 1024;  // unpacked bytes of one XML part
};

// Lines separated by LF. The reason of a failure names the part, not the file.
Result<QString> readDocxText(QByteArray package, const DocxLimits& limits = {});

// The same reading of a main part on its own, with its numbering and styles
// parts (either may be empty): the XML without a package around it.
Result<QString> readWordprocessingXml(QByteArrayView document, QByteArrayView numbering = {},
                                      QByteArrayView styles = {});

bool isWordNamespace(QStringView uri);
// The part that holds `part`'s relationships ("word/_rels/document.xml.rels").
QString relationshipsOf(const QString& part);

// Where a stretch of the body's text stands in the main part's XML, so that
// the document can be changed exactly where the reading found its text.
struct TextSource {
    qsizetype position = 0;  // in the text (lines joined by LF)
    qsizetype length = 0;
    qsizetype xmlStart = 0;  // the token that gave the stretch, in the decoded XML
    qsizetype xmlEnd = 0;
    bool characters = false;  // the token is a w:t's text; else an element (tab, break, symbol)
};

// Where the token `reader` has just read ends in `xml` (what it reads, decoded),
// given where it began: after text, characterOffset() is one too far.
qsizetype tokenEnd(const QXmlStreamReader& reader, QStringView xml, qsizetype tokenStart);

// Sees every token of the main part before the reading does, with its span.
using TokenObserver = std::function<void(const QXmlStreamReader&, qsizetype start, qsizetype end)>;

struct TracedDocx {
    QString mainPart;               // its name in the package
    QHash<QString, QString> parts;  // the main part's relationships: kind ("comments") -> part
    QString xml;                    // the main part, decoded (a byte order mark left out)
    bool byteOrderMark = false;
    QString text;                     // as readDocxText gives it
    qsizetype bodyLength = 0;         // the body is text.left(bodyLength); the notes follow
    std::vector<TextSource> sources;  // every shown stretch of the body, lines in reading order
};

// The reading of readDocxText, tracing the body. Fails as it does, and on a
// main part that is not UTF-8.
Result<TracedDocx> traceDocx(const MemoryZip& zip, const TokenObserver& observer,
                             const DocxLimits& limits = {});

}  // namespace documents
