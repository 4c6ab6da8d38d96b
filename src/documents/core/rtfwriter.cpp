#include "documents/core/rtfwriter.h"

#include "platform/core/gbk.h"

#include <QRegularExpression>

namespace documents {

namespace {

struct FontInfo {
    QString name;
    bool chinese = false;
};

bool hasDoubleByteText(QStringView text)
{
    for (const QChar ch : text) {
        if (gbk::isDoubleByte(ch.unicode()))
            return true;
    }
    return false;
}

bool isChineseFontName(const QString& name)
{
    static const QRegularExpression known(
        QStringLiteral("^(Sim|NSimSun|FangSong|KaiTi|Microsoft YaHei|DengXian|STSong|STHeiti|"
                       "STKaiti|STFangsong|STXihei|WenQuanYi|Noto (Sans|Serif) CJK|"
                       "Source Han|AR PL|Droid Sans Fallback)"),
        QRegularExpression::CaseInsensitiveOption);
    for (const QChar ch : name) {
        if (ch.unicode() >= 0x80)
            return true;
    }
    return known.match(name).hasMatch();
}

// Text of one run or font name: ASCII as is (with \ { } escaped), anything
// else as \uN plus a two-byte GBK fallback, matching the document's \uc2.
void appendEscaped(QByteArray& out, QStringView text)
{
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u == '\\' || u == '{' || u == '}') {
            out.append('\\').append(static_cast<char>(u));
        } else if (u == '\t') {
            out.append("\\tab ");
        } else if (u == 0x2028) {
            out.append("\\line ");
        } else if (u < 0x20) {
            continue;  // control characters carry no text
        } else if (u < 0x80) {
            out.append(static_cast<char>(u));
        } else {
            out.append("\\u").append(QByteArray::number(static_cast<qint16>(u)));
            unsigned char lead = 0;
            unsigned char trail = 0;
            if (gbk::doubleBytes(u, lead, trail))
                out.append(QByteArray("\\'") + QByteArray::number(lead, 16) + "\\'"
                           + QByteArray::number(trail, 16));
            else
                out.append("??");
        }
    }
}

class RtfWriter {
public:
    explicit RtfWriter(const Document& document) : document_(document) { collectTables(); }

    QByteArray write()
    {
        QByteArray out = "{\\rtf1\\ansi\\ansicpg936\\deff0\\uc2\r\n";
        writeFontTable(out);
        writeColorTable(out);
        out.append("\\viewkind4\\pard\\plain\r\n");
        for (const Paragraph& paragraph : document_.paragraphs) {
            for (const Run& run : paragraph.runs)
                writeRun(out, run);
            out.append("\\par\r\n");
        }
        out.append("}\r\n");
        return out;
    }

private:
    void collectTables()
    {
        for (const Paragraph& paragraph : document_.paragraphs) {
            for (const Run& run : paragraph.runs) {
                FontInfo& font = fonts_[fontIndex(run.format.fontName)];
                font.chinese = font.chinese || hasDoubleByteText(run.text);
                if (run.format.color && !colors_.contains(*run.format.color))
                    colors_.append(*run.format.color);
            }
        }
        if (fonts_.isEmpty())
            fontIndex({});
    }

    static QString shownName(const QString& name)
    {
        return name.isEmpty() ? QString::fromUtf16(kDefaultFontName) : name;
    }

    qsizetype findFont(const QString& name) const
    {
        for (qsizetype i = 0; i < fonts_.size(); ++i) {
            if (fonts_[i].name == shownName(name))
                return i;
        }
        return -1;
    }

    qsizetype fontIndex(const QString& name)
    {
        if (const qsizetype found = findFont(name); found >= 0)
            return found;
        fonts_.append({shownName(name), isChineseFontName(shownName(name))});
        return fonts_.size() - 1;
    }

    void writeFontTable(QByteArray& out) const
    {
        out.append("{\\fonttbl");
        for (qsizetype i = 0; i < fonts_.size(); ++i) {
            out.append("{\\f").append(QByteArray::number(i));
            out.append(fonts_[i].chinese ? "\\fnil\\fcharset134 " : "\\fnil\\fcharset0 ");
            appendEscaped(out, fonts_[i].name);
            out.append(";}");
        }
        out.append("}\r\n");
    }

    void writeColorTable(QByteArray& out) const
    {
        out.append("{\\colortbl;");
        for (const quint32 rgb : colors_) {
            out.append("\\red").append(QByteArray::number(rgb >> 16 & 0xFF));
            out.append("\\green").append(QByteArray::number(rgb >> 8 & 0xFF));
            out.append("\\blue").append(QByteArray::number(rgb & 0xFF)).append(';');
        }
        out.append("}\r\n");
    }

    void writeRun(QByteArray& out, const Run& run) const
    {
        const CharFormat& f = run.format;
        const qsizetype font = std::max<qsizetype>(0, findFont(f.fontName));
        const QByteArray index = QByteArray::number(font);
        out.append("{\\f").append(index);
        if (fonts_[font].chinese)
            out.append("\\dbch\\af").append(index);  // also the font of the Chinese characters
        if (f.pointSize > 0)
            out.append("\\fs").append(QByteArray::number(qRound(f.pointSize * 2)));
        if (f.color)
            out.append("\\cf").append(QByteArray::number(colors_.indexOf(*f.color) + 1));
        if (f.bold)
            out.append("\\b");
        if (f.italic)
            out.append("\\i");
        if (f.underline)
            out.append("\\ul");
        out.append(' ');
        appendEscaped(out, run.text);
        out.append('}');
    }

    const Document& document_;
    QList<FontInfo> fonts_;
    QList<quint32> colors_;
};

}  // namespace

QByteArray writeRtf(const Document& document) { return RtfWriter(document).write(); }

}  // namespace documents
