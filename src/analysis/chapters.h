#pragma once
// The chapters of a paper, told by its heading lines, so that the report can
// say where in the thesis the similar pieces sit.

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

namespace chapters {

inline constexpr qsizetype kMaxHeadingLength = 40;

enum class Heading {
    None,
    Chapter,   // "第三章 …"
    Part,      // "第二部分 …"
    Section,   // "第一节 …", "1.2 …", "1、…"
    Numbered,  // "1 …", "2绪论"
    Word,      // "摘要", "Abstract", "参考文献", "致谢", "附录" alone
};

// What kind of heading `line` is (one line of the paper, without its break).
Heading headingOf(QStringView line);

struct Chapter {
    QString title;        // the heading line, trimmed; "前置部分" for the text before the first
    qsizetype start = 0;  // where it begins in the analysed text
};

// The chapters of `editorText` (CR LF line breaks), placed in `analysedText`,
// the text the analysis made from it. A chapter opens at each "第…章"
// heading (at each "第…部分" in a paper without any), each numbered heading
// without a dot, and each of the words above. Empty when the paper has no
// such heading; nothing when the editor text is not the one analysed, so
// that its lines cannot be told.
std::optional<QList<Chapter>> find(QStringView editorText, const QString& analysedText);

}  // namespace chapters
