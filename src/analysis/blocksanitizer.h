#pragma once
// Result blocks come from third-party pages and are pasted into a page of our
// own; only inert markup may pass.

#include <QString>
#include <QStringView>

// Returns `html` without active content: script, style, frames, objects and
// embeds (with what they enclose), comments, event-handler attributes and
// script URLs. Tags that remain are written out anew with quoted attributes;
// a '<' that starts no tag becomes "&lt;".
QString sanitizeBlock(QStringView html);
