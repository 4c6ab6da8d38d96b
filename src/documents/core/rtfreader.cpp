#include "documents/core/rtfreader.h"

#include "platform/core/gbk.h"

#include <QHash>
#include <QMap>
#include <QStringDecoder>

#include <algorithm>
#include <limits>
#include <optional>
#include <vector>

namespace documents {

namespace {

// Deeper nesting than any word processor writes; a guard against hostile input.
constexpr int kMaxDepth = 4096;
constexpr int kDefaultCodePage = 1252;

enum class Destination { Text, FontTable, ColorTable };

struct GroupState {
    Destination destination = Destination::Text;
    CharFormat format;    // fontName and color are resolved when text is emitted
    int fontIndex = -1;   // -1: the document's default font
    int colorIndex = 0;   // 0: automatic
    int unicodeSkip = 1;  // \ucN: fallback characters after each \uN
    bool hidden = false;  // \v: text the word processor does not show
};

struct FontEntry {
    QString name;
    int codePage = 0;  // 0: the document's code page
};

// Destinations whose content is never shown in the editor.
bool isSkippedDestination(QByteArrayView word)
{
    static const QList<QByteArrayView> words{"info",
                                             "stylesheet",
                                             "pict",
                                             "object",
                                             "header",
                                             "headerl",
                                             "headerr",
                                             "headerf",
                                             "footer",
                                             "footerl",
                                             "footerr",
                                             "footerf",
                                             "footnote",
                                             "annotation",
                                             "atnid",
                                             "atnauthor",
                                             "fldinst",
                                             "xe",
                                             "tc",
                                             "txe",
                                             "rxe",
                                             "listtable",
                                             "listoverridetable",
                                             "revtbl",
                                             "rsidtbl",
                                             "themedata",
                                             "colorschememapping",
                                             "datastore",
                                             "latentstyles",
                                             "generator",
                                             "pgdsctbl",
                                             "bkmkstart",
                                             "bkmkend",
                                             "nonshppict",
                                             "shppict",
                                             "shp",
                                             "xmlnstbl",
                                             "mmathPr",
                                             "listpicture",
                                             "fchars",
                                             "lchars",
                                             "pnseclvl",
                                             "pntxta",
                                             "pntxtb",
                                             "falt",
                                             "panose",
                                             "docvar",
                                             "wgrffmtfilter",
                                             "background",
                                             "filetbl",
                                             "userprops",
                                             "ftnsep",
                                             "ftnsepc",
                                             "aftnsep",
                                             "aftnsepc",
                                             "template",
                                             "private"};
    return words.contains(word);
}

std::optional<char16_t> specialCharacter(QByteArrayView word)
{
    static const QHash<QByteArray, char16_t> table{
        {"tab", u'\t'},           {"cell", u'\t'},          {"nestcell", u'\t'},    {"emdash", u'\x2014'},
        {"endash", u'\x2013'},    {"bullet", u'\x2022'},    {"lquote", u'\x2018'},  {"rquote", u'\x2019'},
        {"ldblquote", u'\x201C'}, {"rdblquote", u'\x201D'}, {"emspace", u'\x2003'}, {"enspace", u'\x2002'},
        {"qmspace", u'\x2005'}};
    const auto it = table.constFind(word.toByteArray());
    if (it == table.constEnd())
        return std::nullopt;
    return *it;
}

bool isParagraphBreak(QByteArrayView word)
{
    // A line break inside a paragraph becomes a paragraph of its own: the
    // editor reports both as CR LF.
    return word == "par" || word == "line" || word == "sect" || word == "row";
}

bool isUnderlineOn(QByteArrayView word)
{
    static const QList<QByteArrayView> words{"ul",       "uld",       "uldash",     "uldashd",   "uldashdd",
                                             "uldb",     "ulhwave",   "ulldash",    "ulth",      "ulthd",
                                             "ulthdash", "ulthdashd", "ulthdashdd", "ulthldash", "ululdbwave",
                                             "ulw",      "ulwave"};
    return words.contains(word);
}

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

class RtfParser {
public:
    explicit RtfParser(QByteArrayView in) : in_(in) { }

    Result<Document> parse()
    {
        if (!looksLikeRtf(in_))
            return failure(QStringLiteral("这不是 RTF 文件。"));
        if (!parseBody())
            return failure(error_);
        return std::move(document_);
    }

private:
    struct ControlWord {
        QByteArrayView word;
        std::optional<int> param;
    };

    bool parseBody()
    {
        while (pos_ < in_.size() && in_[pos_] != '{')
            ++pos_;
        while (pos_ < in_.size()) {
            const char c = in_[pos_];
            if (c == '{') {
                ++pos_;
                if (!openGroup())
                    return false;
            } else if (c == '}') {
                ++pos_;
                closeGroup();
                if (stack_.empty())
                    return checkTrailer();
            } else if (c == '\\') {
                ++pos_;
                if (!parseControl())
                    return false;
            } else if (c == '\r' || c == '\n') {
                ++pos_;
            } else {
                ++pos_;
                textByte(c);
            }
            if (stack_.empty())  // the outermost group ended inside a skipped destination
                return checkTrailer();
        }
        return fail(QStringLiteral("RTF 文件不完整：文件提前结束，缺少 %1 个右括号“}”。").arg(stack_.size()));
    }

    bool fail(const QString& message)
    {
        error_ = message;
        return false;
    }

    bool openGroup()
    {
        flushBytes();
        pendingSkip_ = 0;
        if (stack_.size() >= kMaxDepth)
            return fail(QStringLiteral("RTF 文件已损坏：分组嵌套过深。"));
        stack_.push_back(stack_.empty() ? rootState() : stack_.back());
        return true;
    }

    GroupState rootState() const
    {
        GroupState root;
        root.format.pointSize = 12;  // RTF's default \fs24
        return root;
    }

    void closeGroup()
    {
        flushBytes();
        pendingSkip_ = 0;
        stack_.pop_back();
        if (stack_.empty())
            finishDocument();
    }

    // Whitespace or NULs may follow the last brace; another brace means the
    // braces do not pair up.
    bool checkTrailer()
    {
        for (; pos_ < in_.size(); ++pos_) {
            if (in_[pos_] == '{' || in_[pos_] == '}')
                return fail(QStringLiteral("RTF 文件已损坏：左右括号不配对。"));
        }
        return true;
    }

    // Skips the rest of the current group, including nested groups and \bin data.
    bool skipGroup()
    {
        int depth = 1;
        while (pos_ < in_.size()) {
            const char c = in_[pos_++];
            if (c == '{') {
                ++depth;
            } else if (c == '}') {
                if (--depth == 0) {
                    closeGroup();
                    return true;
                }
            } else if (c == '\\' && pos_ < in_.size()) {
                if (!isAsciiLetter(in_[pos_])) {
                    ++pos_;  // an escaped brace or backslash
                    continue;
                }
                const ControlWord cw = readControlWord();
                if (cw.word == "bin" && !skipBinary(cw.param.value_or(0)))
                    return false;
            }
        }
        return fail(QStringLiteral("RTF 文件不完整：文件提前结束，缺少 %1 个右括号“}”。")
                        .arg(stack_.size() + depth - 1));
    }

    bool skipBinary(int count)
    {
        if (count < 0 || count > in_.size() - pos_)
            return fail(QStringLiteral("RTF 文件不完整：二进制数据被截断。"));
        pos_ += count;
        return true;
    }

    ControlWord readControlWord()
    {
        const qsizetype start = pos_;
        while (pos_ < in_.size() && isAsciiLetter(in_[pos_]) && pos_ - start < 32)
            ++pos_;
        ControlWord cw{in_.sliced(start, pos_ - start), std::nullopt};
        bool negative = false;
        if (pos_ < in_.size() && in_[pos_] == '-' && pos_ + 1 < in_.size() && isDigit(in_[pos_ + 1])) {
            negative = true;
            ++pos_;
        }
        if (pos_ < in_.size() && isDigit(in_[pos_])) {
            qint64 value = 0;
            while (pos_ < in_.size() && isDigit(in_[pos_])) {
                if (value < 10'000'000'000LL)
                    value = value * 10 + (in_[pos_] - '0');
                ++pos_;
            }
            value = std::min<qint64>(value, std::numeric_limits<int>::max());
            cw.param = static_cast<int>(negative ? -value : value);
        }
        if (pos_ < in_.size() && in_[pos_] == ' ')
            ++pos_;  // the delimiter belongs to the control word
        return cw;
    }

    bool parseControl()
    {
        if (pos_ >= in_.size())
            return fail(QStringLiteral("RTF 文件不完整：文件在控制字处结束。"));
        const char c = in_[pos_];
        if (isAsciiLetter(c))
            return controlWord(readControlWord());
        ++pos_;
        return controlSymbol(c);
    }

    bool controlSymbol(char c)
    {
        switch (c) {
        case '\'': {
            if (pos_ + 2 > in_.size())
                return fail(QStringLiteral("RTF 文件不完整：文件在字节转义处结束。"));
            const int high = hexValue(in_[pos_]);
            const int low = hexValue(in_[pos_ + 1]);
            if (high < 0 || low < 0)
                return fail(QStringLiteral("RTF 文件已损坏：无效的字节转义“\\'%1”。")
                                .arg(QString::fromLatin1(in_.sliced(pos_, 2))));
            pos_ += 2;
            textByte(static_cast<char>(high << 4 | low));
            return true;
        }
        case '\\':
        case '{':
        case '}':
            textByte(c);
            return true;
        case '*':
            // An ignorable destination: this reader knows none worth showing.
            return skipGroup();
        case '\r':
        case '\n':
            return controlWord({"par", std::nullopt});
        case '~':
            return unicodeCharacter(u'\x00A0');
        case '_':
            return unicodeCharacter(u'\x2011');
        default:
            return true;  // \- optional hyphen, \| \: and other marks
        }
    }

    bool unicodeCharacter(char16_t ch)
    {
        if (consumeSkip())
            return true;
        flushBytes();
        emitText(QString(QChar(ch)));
        return true;
    }

    // True when this token is one of the fallback characters after a \uN.
    bool consumeSkip()
    {
        if (pendingSkip_ == 0)
            return false;
        --pendingSkip_;
        return true;
    }

    bool controlWord(const ControlWord& cw)
    {
        if (consumeSkip())
            return cw.word != "bin" || skipBinary(cw.param.value_or(0));
        flushBytes();
        if (stack_.empty())
            return true;
        GroupState& state = stack_.back();
        const QByteArrayView w = cw.word;
        const int param = cw.param.value_or(1);
        const bool on = !cw.param || *cw.param != 0;

        if (isSkippedDestination(w))
            return skipGroup();
        if (w == "bin")
            return skipBinary(cw.param.value_or(0));
        if (w == "u") {
            const bool valid = param >= -32768 && param <= 65535;
            emitText(
                QString(QChar(valid ? static_cast<char16_t>(param < 0 ? param + 65536 : param) : u'\xFFFD')));
            pendingSkip_ = state.unicodeSkip;
        } else if (w == "uc") {
            state.unicodeSkip = std::max(0, param);
        } else if (w == "ansicpg") {
            codePage_ = param;
        } else if (w == "ansi") {
            codePage_ = kDefaultCodePage;
        } else if (w == "mac") {
            codePage_ = 10000;
        } else if (w == "pc") {
            codePage_ = 437;
        } else if (w == "pca") {
            codePage_ = 850;
        } else if (w == "deff") {
            defaultFont_ = param;
        } else if (w == "fonttbl") {
            state.destination = Destination::FontTable;
        } else if (w == "colortbl") {
            state.destination = Destination::ColorTable;
            colors_.clear();
            red_ = green_ = blue_ = -1;
        } else if (state.destination == Destination::FontTable) {
            fontTableWord(w, param);
        } else if (state.destination == Destination::ColorTable) {
            colorTableWord(w, param);
        } else {
            formattingWord(state, w, param, on);
        }
        return true;
    }

    void fontTableWord(QByteArrayView w, int param)
    {
        if (w == "f") {
            fontEntry_ = param;
            fontName_.clear();
            fonts_[param] = {};
        } else if (w == "fcharset" && fontEntry_) {
            fonts_[*fontEntry_].codePage = codePageOfCharset(param);
        } else if (w == "cpg" && fontEntry_) {
            fonts_[*fontEntry_].codePage = param;
        }
    }

    void colorTableWord(QByteArrayView w, int param)
    {
        const int value = std::clamp(param, 0, 255);
        if (w == "red")
            red_ = value;
        else if (w == "green")
            green_ = value;
        else if (w == "blue")
            blue_ = value;
    }

    void formattingWord(GroupState& state, QByteArrayView w, int param, bool on)
    {
        if (isParagraphBreak(w)) {
            endParagraph();
        } else if (const auto ch = specialCharacter(w)) {
            emitText(QString(QChar(*ch)));
        } else if (w == "plain") {
            state.format = rootState().format;
            state.fontIndex = -1;
            state.colorIndex = 0;
            state.hidden = false;
        } else if (w == "v") {
            state.hidden = on;
        } else if (w == "f") {
            state.fontIndex = param;
        } else if (w == "fs") {
            if (param > 0)
                state.format.pointSize = param / 2.0;
        } else if (w == "cf") {
            state.colorIndex = param;
        } else if (w == "b") {
            state.format.bold = on;
        } else if (w == "i") {
            state.format.italic = on;
        } else if (w == "ulnone") {
            state.format.underline = false;
        } else if (isUnderlineOn(w)) {
            state.format.underline = on;
        }
    }

    void textByte(char c)
    {
        if (consumeSkip() || stack_.empty())
            return;
        switch (stack_.back().destination) {
        case Destination::Text:
            pendingBytes_.append(c);
            break;
        case Destination::FontTable:
            if (c == ';')
                finishFontEntry();
            else
                pendingBytes_.append(c);
            break;
        case Destination::ColorTable:
            if (c == ';')
                finishColorEntry();
            break;
        }
    }

    int currentCodePage() const
    {
        const GroupState& state = stack_.back();
        const int font = state.destination == Destination::FontTable
            ? fontEntry_.value_or(-1)
            : (state.fontIndex >= 0 ? state.fontIndex : defaultFont_);
        const int fontCodePage = fonts_.value(font).codePage;
        return fontCodePage ? fontCodePage : codePage_;
    }

    void flushBytes()
    {
        if (pendingBytes_.isEmpty())
            return;
        const QString text = decodeCodePage(pendingBytes_, currentCodePage());
        pendingBytes_.clear();
        emitText(text);
    }

    void emitText(const QString& text)
    {
        if (stack_.empty())
            return;
        const GroupState& state = stack_.back();
        if (state.destination == Destination::Text && !state.hidden)
            paragraph_.append(text, resolvedFormat(state));
        else if (state.destination == Destination::FontTable)
            fontName_ += text;
    }

    CharFormat resolvedFormat(const GroupState& state) const
    {
        CharFormat format = state.format;
        format.fontName = fonts_.value(state.fontIndex >= 0 ? state.fontIndex : defaultFont_).name;
        if (state.colorIndex > 0 && state.colorIndex < colors_.size())
            format.color = colors_[state.colorIndex];
        return format;
    }

    void finishFontEntry()
    {
        flushBytes();
        if (fontEntry_)
            fonts_[*fontEntry_].name = fontName_.trimmed();
        fontName_.clear();
    }

    void finishColorEntry()
    {
        std::optional<quint32> color;
        if (red_ >= 0 || green_ >= 0 || blue_ >= 0)
            color = quint32(std::max(red_, 0)) << 16 | quint32(std::max(green_, 0)) << 8
                | quint32(std::max(blue_, 0));
        colors_.append(color);
        red_ = green_ = blue_ = -1;
    }

    void endParagraph()
    {
        document_.paragraphs.append(paragraph_);
        paragraph_ = {};
    }

    void finishDocument()
    {
        if (!paragraph_.runs.isEmpty())
            endParagraph();
    }

    QByteArrayView in_;
    qsizetype pos_ = 0;
    std::vector<GroupState> stack_;
    QString error_;

    int codePage_ = kDefaultCodePage;
    int defaultFont_ = 0;
    QByteArray pendingBytes_;
    int pendingSkip_ = 0;

    QMap<int, FontEntry> fonts_;
    std::optional<int> fontEntry_;
    QString fontName_;
    QList<std::optional<quint32>> colors_;
    int red_ = -1, green_ = -1, blue_ = -1;

    Document document_;
    Paragraph paragraph_;
};

QByteArray codecName(int codePage)
{
    switch (codePage) {
    case 437:
        return "IBM437";
    case 850:
        return "IBM850";
    case 932:
        return "Shift_JIS";
    case 949:
        return "windows-949";
    case 950:
        return "Big5";
    case 10000:
        return "macintosh";
    case 65001:
        return "UTF-8";
    default:
        return "windows-" + QByteArray::number(codePage);
    }
}

}  // namespace

bool looksLikeRtf(QByteArrayView bytes)
{
    qsizetype i = 0;
    while (i < bytes.size() && QChar::isSpace(static_cast<unsigned char>(bytes[i])))
        ++i;
    return bytes.sliced(i).startsWith("{\\rtf");
}

Result<Document> readRtf(QByteArrayView bytes) { return RtfParser(bytes).parse(); }

QString decodeCodePage(QByteArrayView bytes, int codePage)
{
    if (codePage == 936)
        return gbk::decode(bytes);
    QStringDecoder decoder(codecName(codePage).constData());
    if (!decoder.isValid())
        decoder = QStringDecoder(codecName(kDefaultCodePage).constData());
    return decoder.decode(bytes);
}

int codePageOfCharset(int charset)
{
    switch (charset) {
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 2:
        return 1252;  // symbol fonts: bullets such as \'b7 are single bytes
    default:
        return 0;  // ANSI and default: the document's own code page
    }
}

}  // namespace documents
