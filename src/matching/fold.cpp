#include "matching/fold.h"

#include <QByteArray>
#include <QChar>
#include <QList>
#include <QString>

#include <opencc/opencc.h>

namespace matching {
namespace {

// Past the last ideograph block (CJK Unified Ideographs Extension H).
constexpr char32_t kTableEnd = 0x323B0;

bool isIdeograph(char32_t c)
{
    return (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF)
        || (c >= 0x20000 && c <= 0x2A6DF) || (c >= 0x2A700 && c <= 0x2EE5F) || (c >= 0x2F800 && c <= 0x2FA1F)
        || (c >= 0x30000 && c < kTableEnd);
}

bool isCompatibilityIdeograph(char32_t c)
{
    return (c >= 0xF900 && c <= 0xFAFF) || (c >= 0x2F800 && c <= 0x2FA1F);
}

// Every ideograph through OpenCC in one call, one per line, so that no
// phrase forms across them; a line that comes back as one character is the
// character's simplified form.
void applySimplified(std::vector<char32_t>& table)
{
    opencc_t converter = opencc_open(OPENCC_DEFAULT_CONFIG_TRAD_TO_SIMP);
    if (converter == reinterpret_cast<opencc_t>(-1))
        return;  // without the tables, traditional characters stay themselves
    std::vector<char32_t> asked;
    QString input;
    for (char32_t c = 0x3400; c < kTableEnd; ++c) {
        if (!isIdeograph(c) || isCompatibilityIdeograph(c))
            continue;
        asked.push_back(c);
        const char32_t one[] = {c};
        input += QString::fromUcs4(one, 1);
        input += QLatin1Char('\n');
    }
    const QByteArray utf8 = input.toUtf8();
    char* out = opencc_convert_utf8(converter, utf8.constData(), size_t(utf8.size()));
    if (out) {
        const QString converted = QString::fromUtf8(out);
        opencc_convert_utf8_free(out);
        const QList<QStringView> lines = QStringView(converted).split(QLatin1Char('\n'));
        if (lines.size() >= qsizetype(asked.size())) {
            for (size_t i = 0; i < asked.size(); ++i) {
                const QList<uint> ucs = lines[qsizetype(i)].toUcs4();
                if (ucs.size() == 1 && isIdeograph(ucs[0]) && ucs[0] != asked[i])
                    table[asked[i]] = ucs[0];
            }
        }
    }
    opencc_close(converter);
}

std::vector<char32_t> buildTable()
{
    std::vector<char32_t> table(kTableEnd, 0);
    for (char32_t c = '0'; c <= '9'; ++c)
        table[c] = c;
    for (char32_t c = 'a'; c <= 'z'; ++c)
        table[c] = table[c - 'a' + 'A'] = c;
    for (char32_t c = 0xFF10; c <= 0xFF19; ++c)  // full-width digits
        table[c] = c - 0xFEE0;
    for (char32_t c = 0xFF21; c <= 0xFF3A; ++c)  // full-width capitals
        table[c] = c - 0xFEE0 + ('a' - 'A');
    for (char32_t c = 0xFF41; c <= 0xFF5A; ++c)  // full-width small letters
        table[c] = c - 0xFEE0;
    for (char32_t c = 0x3400; c < kTableEnd; ++c) {
        if (!isIdeograph(c))
            continue;
        table[c] = c;
        if (isCompatibilityIdeograph(c)) {
            const QList<uint> canonical =
                QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_C).toUcs4();
            if (canonical.size() == 1 && isIdeograph(canonical[0]) && !isCompatibilityIdeograph(canonical[0]))
                table[c] = canonical[0];
        }
    }
    applySimplified(table);
    // A compatibility ideograph follows the form its canonical ideograph takes.
    for (char32_t c = 0x3400; c < kTableEnd; ++c)
        if (isCompatibilityIdeograph(c) && table[c] != c && table[c] < kTableEnd && table[table[c]] != 0)
            table[c] = table[table[c]];
    return table;
}

const std::vector<char32_t>& foldTable()
{
    static const std::vector<char32_t> table = buildTable();  // built once, by the first caller
    return table;
}

template <typename Each> void forEachContent(QStringView text, Each&& each)
{
    const std::vector<char32_t>& table = foldTable();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n;) {
        char32_t c = text[i].unicode();
        qsizetype width = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(text[i + 1].unicode())) {
            c = QChar::surrogateToUcs4(char16_t(c), text[i + 1].unicode());
            width = 2;
        }
        if (c < kTableEnd) {
            if (const char32_t f = table[c])
                each(f, i, i + width);
        }
        i += width;
    }
}

}  // namespace

char32_t folded(char32_t c) { return c < kTableEnd ? foldTable()[c] : 0; }

FoldedText foldText(QStringView text)
{
    FoldedText out;
    out.content.reserve(size_t(text.size()));
    out.starts.reserve(size_t(text.size()));
    out.ends.reserve(size_t(text.size()));
    forEachContent(text, [&](char32_t f, qsizetype start, qsizetype end) {
        out.content.push_back(f);
        out.starts.push_back(start);
        out.ends.push_back(end);
    });
    return out;
}

std::u32string foldContent(QStringView text)
{
    std::u32string out(size_t(text.size()), U'\0');
    size_t n = 0;
    forEachContent(text, [&](char32_t f, qsizetype, qsizetype) { out[n++] = f; });
    out.resize(n);
    out.shrink_to_fit();
    return out;
}

}  // namespace matching
