#pragma once
// The reference text cut into the sentences compare-and-mark looks for, in one
// pass: a line break after each closing mark (ASCII ones made full-width),
// after every second character of a run of "…", and the spaces, ideographic
// spaces and tabs before the reference's own line breaks dropped. The
// sentences are spans of one normalised copy of the text, so a million
// characters become one string and a list of positions, not tens of
// thousands of strings.

#include <QString>
#include <QStringView>

#include <vector>

namespace comparer {

struct ReferenceSentences {
    struct Span {
        qsizetype start = 0;
        qsizetype length = 0;
    };

    QString text;             // the reference with ",.!?" made "，。！？"
    std::vector<Span> spans;  // every non-blank sentence, in order

    QStringView sentence(size_t i) const { return QStringView(text).mid(spans[i].start, spans[i].length); }
};

// The reference is normalised in place: pass it moved when it is not needed after.
ReferenceSentences cutReference(QString reference);

}  // namespace comparer
