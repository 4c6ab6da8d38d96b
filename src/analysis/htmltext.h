#pragma once
// Plain text out of markup read as text (saved pages, a result heading's
// link), the small part of what a browser does that the analysis needs.

#include <QString>
#include <QStringView>

namespace htmltext {

// "&amp;", "&lt;", "&gt;", "&quot;", "&apos;", "&#39;", "&nbsp;" and numeric
// references ("&#20013;", "&#x4E2D;") decoded; anything else kept as written.
QString decodeReferences(QStringView text);

// The text of `html`: tags, comments, and the insides of <script> and <style>
// dropped, character references decoded. Spacing is kept as written.
QString textOf(QStringView html);

// Where the start tag opening at `lt` (its '<') ends: the index of its '>',
// past any '>' inside a quoted attribute value; -1 when the markup ends first.
qsizetype tagEnd(QStringView html, qsizetype lt);

// The value of attribute `name` (any case) in the inside of one start tag
// ("a href=\"…\" class=t"), decoded; empty when it is absent.
QString attribute(QStringView tagInside, QStringView name);

}  // namespace htmltext
