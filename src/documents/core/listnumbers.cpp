#include "documents/core/listnumbers.h"

namespace documents {

namespace {

// Chinese numerals as Word counts them: 十, 十一, 二十, 一百零五, 一千.
QString countedWith(int value, const char16_t* digits, const char16_t* units)
{
    if (value <= 0 || value >= 100000)
        return QString::number(value);
    QString out;
    bool zeroPending = false;
    for (int unit = 4, power = 10000; unit >= 0; --unit, power /= 10) {
        const int digit = value / power % 10;
        if (digit == 0) {
            zeroPending = !out.isEmpty();
            continue;
        }
        if (zeroPending)
            out += QChar(digits[0]);
        zeroPending = false;
        out += QChar(digits[digit]);
        if (unit > 0)
            out += QChar(units[unit - 1]);
    }
    if (value >= 10 && value < 20 && digits[1] == u'一')
        out.remove(0, 1);
    return out;
}

QString roman(int value)
{
    if (value <= 0 || value >= 4000)
        return QString::number(value);
    static const std::pair<int, const char*> numerals[] = {
        {1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
        {40, "XL"},  {10, "X"},   {9, "IX"},  {5, "V"},    {4, "IV"},  {1, "I"}};
    QString out;
    for (const auto& [amount, numeral] : numerals) {
        for (; value >= amount; value -= amount)
            out += QLatin1StringView(numeral);
    }
    return out;
}

// a .. z, then aa .. zz: Word repeats the letter rather than counting on.
QString letters(int value)
{
    if (value <= 0)
        return QString::number(value);
    return QString((value - 1) / 26 + 1, QChar(u'a' + (value - 1) % 26));
}

QString cycled(int value, QStringView symbols)
{
    if (value <= 0)
        return QString::number(value);
    return QString(symbols.at((value - 1) % symbols.size()));
}

QString enclosed(int value, char16_t first)
{
    return value >= 1 && value <= 20 ? QString(QChar(char16_t(first + value - 1))) : QString::number(value);
}

}  // namespace

QString formatListNumber(int value, const QString& format)
{
    if (format == u"none" || format == u"bullet")
        return {};
    if (format == u"chineseCounting" || format == u"chineseCountingThousand" || format == u"japaneseCounting"
        || format == u"taiwaneseCounting" || format == u"taiwaneseCountingThousand")
        return countedWith(value, u"零一二三四五六七八九", u"十百千万");
    if (format == u"chineseLegalSimplified")
        return countedWith(value, u"零壹贰叁肆伍陆柒捌玖", u"拾佰仟万");
    if (format == u"ideographDigital" || format == u"taiwaneseDigital"
        || format == u"japaneseDigitalTenThousand") {
        QString out = QString::number(value);
        for (QChar& c : out) {
            if (c.isDigit())
                c = QChar(u"〇一二三四五六七八九"[c.digitValue()]);
        }
        return out;
    }
    if (format == u"ideographTraditional")
        return cycled(value, u"甲乙丙丁戊己庚辛壬癸");
    if (format == u"ideographZodiac")
        return cycled(value, u"子丑寅卯辰巳午未申酉戌亥");
    if (format == u"decimalEnclosedCircle" || format == u"decimalEnclosedCircleChinese")
        return enclosed(value, 0x2460);  // ①
    if (format == u"decimalEnclosedParen")
        return enclosed(value, 0x2474);  // ⑴
    if (format == u"decimalEnclosedFullstop")
        return enclosed(value, 0x2488);  // ⒈
    if (format == u"decimalFullWidth" || format == u"decimalFullWidth2") {
        QString out = QString::number(value);
        for (QChar& c : out)
            c = QChar(char16_t(c.unicode() - u'0' + 0xFF10));
        return out;
    }
    if (format == u"decimalZero")
        return value >= 0 && value < 10 ? QStringLiteral("0%1").arg(value) : QString::number(value);
    if (format == u"upperRoman")
        return roman(value);
    if (format == u"lowerRoman")
        return roman(value).toLower();
    if (format == u"upperLetter")
        return letters(value).toUpper();
    if (format == u"lowerLetter")
        return letters(value);
    return QString::number(value);
}

QString symbolLookAlike(QChar symbol)
{
    switch (symbol.unicode()) {
    case 0xF0B7:
    case 0x00B7:
        return QStringLiteral("\u2022");  // •
    case 0xF0A7:
    case 0xF06E:
        return QStringLiteral("\u25AA");  // ▪
    case 0xF0D8:
        return QStringLiteral("\u27A2");  // ➢
    case 0xF0FC:
        return QStringLiteral("\u2713");  // ✓
    case 0xF076:
        return QStringLiteral("\u2756");  // ❖
    case 0xF0A8:
        return QStringLiteral("\u25C6");  // ◆
    default:
        return {};
    }
}

void ListNumbers::resolveFromStyle(const QString& style, int* numId, int* level) const
{
    QString current = style.isEmpty() ? definitions_.defaultStyle : style;
    // basedOn chains are short; the bound only stops a chain that loops.
    for (int depth = 0; depth < 16 && !current.isEmpty(); ++depth) {
        const auto it = definitions_.styles.constFind(current);
        if (it == definitions_.styles.constEnd())
            break;
        if (*numId < 0 && it->numId >= 0)
            *numId = it->numId;
        if (*level < 0 && it->level >= 0)
            *level = it->level;
        current = it->basedOn;
    }
}

int ListNumbers::startOf(const ListInstance& instance, int abstractId, int level) const
{
    if (instance.startOverrides[level])
        return *instance.startOverrides[level];
    return definitions_.abstracts.value(abstractId)[level].start;
}

QString ListNumbers::label(const QString& style, int numId, int level)
{
    resolveFromStyle(style, &numId, &level);
    if (numId <= 0 || !definitions_.instances.contains(numId))
        return {};
    const ListInstance& instance = definitions_.instances[numId];
    const auto abstract = definitions_.abstracts.constFind(instance.abstractId);
    if (abstract == definitions_.abstracts.constEnd())
        return {};
    if (level < 0) {
        // A heading style names its list but not its level: the level that names the style.
        level = 0;
        for (int i = 0; i < kListLevels; ++i) {
            if (!style.isEmpty() && (*abstract)[i].style == style)
                level = i;
        }
    }
    if (level >= kListLevels)
        return {};
    Counters& counters = counters_[instance.abstractId];
    if (!instancesSeen_.contains(numId)) {
        instancesSeen_.insert(numId);
        for (int i = 0; i < kListLevels; ++i) {
            if (instance.startOverrides[i]) {
                counters.value[i] = *instance.startOverrides[i] - 1;
                counters.used[i] = true;
            }
        }
    }
    counters.value[level] =
        counters.used[level] ? counters.value[level] + 1 : startOf(instance, instance.abstractId, level);
    counters.used[level] = true;
    for (int deeper = level + 1; deeper < kListLevels; ++deeper)
        counters.used[deeper] = false;

    const ListLevel& definition = (*abstract)[level];
    QString text;
    if (definition.format == u"bullet") {
        for (const QChar c : definition.text) {
            const QString lookAlike = symbolLookAlike(c);
            // Word's hollow bullet is a letter o in Courier New.
            text += !lookAlike.isEmpty()                           ? lookAlike
                : c == u'o'                                        ? QStringLiteral("\u25E6")
                : (c.unicode() >= 0xF000 && c.unicode() <= 0xF0FF) ? QStringLiteral("\u2022")
                                                                   : QString(c);
        }
    } else {
        for (qsizetype i = 0; i < definition.text.size(); ++i) {
            const QChar c = definition.text.at(i);
            const int referenced =
                i + 1 < definition.text.size() ? definition.text.at(i + 1).digitValue() : -1;
            if (c == u'%' && referenced >= 1 && referenced <= kListLevels) {
                const int k = referenced - 1;
                const int value =
                    counters.used[k] ? counters.value[k] : startOf(instance, instance.abstractId, k);
                text += formatListNumber(
                    value, definition.legal ? QStringLiteral("decimal") : (*abstract)[k].format);
                ++i;
            } else {
                text += c;
            }
        }
    }
    if (text.isEmpty())
        return {};
    if (definition.suffix == u"space")
        return text + u' ';
    if (definition.suffix == u"nothing")
        return text;
    return text + u'\t';
}

}  // namespace documents
