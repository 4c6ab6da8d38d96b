#include "comparer/core/referencesentences.h"

namespace comparer {

namespace {

constexpr char16_t kIdeographicSpace = 0x3000;
constexpr char16_t kEllipsis = 0x2026;

// The full-width closing mark that ends a sentence, or 0.
char16_t closingMark(char16_t c)
{
    switch (c) {
    case u',':
    case u'，':
        return u'，';
    case u'.':
    case u'。':
        return u'。';
    case u'!':
    case u'！':
        return u'！';
    case u'?':
    case u'？':
        return u'？';
    default:
        return 0;
    }
}

bool endsWith(const QChar* text, qsizetype begin, qsizetype end, char16_t c)
{
    return end > begin && text[end - 1] == c;
}

// Before one of the reference's own line breaks: two spaces go, then one,
// then two ideographic spaces, then one, then a tab; one step each, in this
// order, so that five spaces leave two and a space before a tab stays.
qsizetype dropWhitespaceBeforeBreak(const QChar* text, qsizetype begin, qsizetype end)
{
    for (const char16_t c : {u' ', kIdeographicSpace}) {
        if (end - begin >= 2 && text[end - 1] == c && text[end - 2] == c)
            end -= 2;
        if (endsWith(text, begin, end, c))
            --end;
    }
    if (endsWith(text, begin, end, u'\t'))
        --end;
    return end;
}

// Blank: nothing but spaces and ideographic spaces (a tab is a sentence).
bool isBlank(const QChar* text, qsizetype begin, qsizetype end)
{
    for (qsizetype i = begin; i < end; ++i) {
        if (text[i] != u' ' && text[i] != kIdeographicSpace)
            return false;
    }
    return true;
}

}  // namespace

ReferenceSentences cutReference(QString reference)
{
    ReferenceSentences out;
    const qsizetype n = reference.size();
    out.text = std::move(reference);
    QChar* text = out.text.data();
    qsizetype begin = 0;
    const auto endSentence = [&](qsizetype end) {
        if (!isBlank(text, begin, end))
            out.spans.push_back({begin, end - begin});
    };
    qsizetype ellipses = 0;  // length of the run of "…" since the last cut
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (const char16_t mark = closingMark(c)) {
            text[i] = mark;
            endSentence(i + 1);
            begin = i + 1;
            ellipses = 0;
        } else if (c == kEllipsis) {
            if (++ellipses == 2) {
                endSentence(i + 1);
                begin = i + 1;
                ellipses = 0;
            }
        } else {
            ellipses = 0;
            if (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') {
                endSentence(dropWhitespaceBeforeBreak(text, begin, i));
                begin = ++i + 1;
            }
        }
    }
    endSentence(n);
    return out;
}

}  // namespace comparer
