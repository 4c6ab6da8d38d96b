#include "documents/core/docxmarker.h"

#include "documents/core/memoryzip.h"

#include <QXmlStreamReader>

#include <algorithm>
#include <optional>
#include <vector>

namespace documents {

namespace {

const QString kContentTypesPart = QStringLiteral("[Content_Types].xml");
const QString kWordNamespace = QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main");
const QString kStrictWordNamespace = QStringLiteral("http://purl.oclc.org/ooxml/wordprocessingml/main");

// --- where the runs stand in the main part ---

struct PropertySpan {
    qsizetype start = 0;
    qsizetype end = 0;
};

struct RunSpan {
    qsizetype start = 0;
    qsizetype tagEnd = 0;
    qsizetype end = -1;
    int parent = -1;  // the run this one sits in (a text box inside a drawing)
    int story = -1;   // the text box (w:txbxContent) it stands in, counted in order; -1: the body
    // Names are read from the XML when needed: a thesis has some ten
    // thousand runs, and only the marked ones are ever written.
    qsizetype nameLength = 0;  // of the qualified name after "<"
    bool strict = false;       // in the strict namespace
    bool hasChild = false;
    // Its properties, when they are its first child.
    qsizetype propsStart = -1;
    qsizetype propsTagEnd = -1;
    qsizetype propsEndTagStart = -1;
    qsizetype propsEnd = -1;
    qsizetype propsNameLength = 0;
    int firstProperty = 0;  // its children in the recorder's `properties`
    int propertyCount = 0;
};

struct TextSpan {
    qsizetype start = 0;
    qsizetype tagEnd = 0;
    qsizetype nameLength = 0;
};

// Run properties that come after the highlight in the schema's order.
bool followsHighlight(QStringView name)
{
    static const char16_t* const later[] = {
        u"u",    u"effect",          u"bdr",        u"shd",   u"fitText",  u"vertAlign", u"rtl", u"cs", u"em",
        u"lang", u"eastAsianLayout", u"specVanish", u"oMath", u"rPrChange"};
    return std::any_of(std::begin(later), std::end(later), [name](const char16_t* n) { return name == n; });
}

// The local name of the element whose tag begins `tag`, when it has the Word
// namespace's prefix (`prefix`, empty for the default namespace); else null.
QStringView wordLocalName(QStringView tag, QStringView prefix)
{
    qsizetype end = 1;
    while (end < tag.size() && !tag[end].isSpace() && tag[end] != u'/' && tag[end] != u'>')
        ++end;
    const QStringView name = tag.sliced(1, end - 1);
    const qsizetype colon = name.indexOf(u':');
    const QStringView namePrefix = colon < 0 ? QStringView() : name.left(colon);
    if (namePrefix != prefix)
        return {};
    return colon < 0 ? name : name.sliced(colon + 1);
}

// Notes, for every token of the main part the reading sees, the runs and
// their text elements, so that a run can be split where the reading found
// the text.
class RunRecorder {
public:
    void token(const QXmlStreamReader& xml, qsizetype start, qsizetype end)
    {
        if (xml.isStartElement())
            startElement(xml, start, end);
        else if (xml.isEndElement())
            endElement(start, end);
    }

    std::vector<RunSpan> runs;
    std::vector<TextSpan> texts;
    std::vector<PropertySpan> properties;  // of every run's properties, in order

private:
    enum class Kind { Run, Properties, Property, Text, Story, Other };

    // Every element of a thesis passes here: the names are compared before
    // the namespaces, and a property is only noted where it stands.
    void startElement(const QXmlStreamReader& xml, qsizetype start, qsizetype end)
    {
        const Kind parent = open_.empty() ? Kind::Other : open_.back().first;
        const int parentIndex = open_.empty() ? -1 : open_.back().second;
        const QStringView name = xml.name();
        const auto word = [&xml] { return isWordNamespace(xml.namespaceUri()); };
        std::pair<Kind, int> node{Kind::Other, -1};
        if (parent == Kind::Properties) {
            properties.push_back({start, end});
            ++runs[parentIndex].propertyCount;
            node = {Kind::Property, parentIndex};
        } else if (name == u"r" && word()) {
            RunSpan run;
            run.start = start;
            run.tagEnd = end;
            run.parent = openRuns_.empty() ? -1 : openRuns_.back();
            run.story = openStories_.empty() ? -1 : openStories_.back();
            run.nameLength = xml.qualifiedName().size();
            run.strict = xml.namespaceUri().startsWith(u"http://purl.oclc.org/");
            runs.push_back(std::move(run));
            node = {Kind::Run, int(runs.size() - 1)};
            openRuns_.push_back(node.second);
        } else if (parent == Kind::Run && name == u"rPr" && !runs[parentIndex].hasChild && word()) {
            RunSpan& run = runs[parentIndex];
            run.propsStart = start;
            run.propsTagEnd = end;
            run.propsNameLength = xml.qualifiedName().size();
            run.firstProperty = int(properties.size());
            node = {Kind::Properties, parentIndex};
        } else if (parent == Kind::Run && name == u"t" && word()) {
            texts.push_back({start, end, xml.qualifiedName().size()});
        } else if (name == u"txbxContent" && word()) {
            node = {Kind::Story, storyCount_};
            openStories_.push_back(storyCount_++);
        }
        if (parent == Kind::Run)
            runs[parentIndex].hasChild = true;
        open_.push_back(node);
    }

    void endElement(qsizetype start, qsizetype end)
    {
        if (open_.empty())
            return;
        const auto [kind, index] = open_.back();
        open_.pop_back();
        if (kind == Kind::Run) {
            runs[index].end = end;
            openRuns_.pop_back();
        } else if (kind == Kind::Properties) {
            runs[index].propsEndTagStart = start;
            runs[index].propsEnd = end;
        } else if (kind == Kind::Property) {
            properties.back().end = end;
        } else if (kind == Kind::Story) {
            openStories_.pop_back();
        }
    }

    std::vector<std::pair<Kind, int>> open_;
    std::vector<int> openRuns_;
    std::vector<int> openStories_;
    int storyCount_ = 0;
};

// The innermost run around `offset`.
int runAt(const std::vector<RunSpan>& runs, qsizetype offset)
{
    auto after = std::upper_bound(runs.begin(), runs.end(), offset,
                                  [](qsizetype at, const RunSpan& run) { return at < run.start; });
    int index = int(after - runs.begin()) - 1;
    while (index >= 0 && runs[index].end <= offset)
        index = runs[index].parent;
    return index;
}

int textAt(const std::vector<TextSpan>& texts, qsizetype offset)
{
    auto after = std::upper_bound(texts.begin(), texts.end(), offset,
                                  [](qsizetype at, const TextSpan& text) { return at < text.start; });
    return int(after - texts.begin()) - 1;
}

// Where each character of a text token begins in its raw XML: an entity or
// a CR LF is one character. None for a CDATA section or a count that differs.
std::optional<std::vector<qsizetype>> characterOffsets(QStringView raw, qsizetype expected)
{
    if (raw.startsWith(u"<![CDATA["))
        return std::nullopt;
    std::vector<qsizetype> offsets;
    offsets.reserve(expected);
    for (qsizetype i = 0; i < raw.size();) {
        offsets.push_back(i);
        if (raw[i] == u'&') {
            const qsizetype semicolon = raw.indexOf(u';', i);
            if (semicolon < 0)
                return std::nullopt;
            const QStringView entity = raw.sliced(i + 1, semicolon - i - 1);
            bool ok = true;
            const uint code = entity.startsWith(u"#x") ? entity.sliced(2).toUInt(&ok, 16)
                : entity.startsWith(u'#')              ? entity.sliced(1).toUInt(&ok, 10)
                                                       : 0;
            if (code > 0xFFFF)
                offsets.push_back(i);  // the low half of a surrogate pair
            i = semicolon + 1;
        } else {
            i += raw[i] == u'\r' && i + 1 < raw.size() && raw[i + 1] == u'\n' ? 2 : 1;
        }
    }
    if (qsizetype(offsets.size()) != expected)
        return std::nullopt;
    return offsets;
}

// --- the analysed text against the document's ---

bool droppedByAnalysis(QChar c)
{
    return c == u' ' || c == u'\n' || c == u'\r' || c == u'\t' || c == QChar(0x3000);
}

bool sameAfterAnalysis(QChar document, QChar analysed)
{
    return document == analysed || (document == u'!' && analysed == QChar(0xFF01))
        || (document == u'?' && analysed == QChar(0xFF1F));
}

// For each character of `analysed`, its position in `text`; none when the
// one is not the other without spaces and line breaks.
std::optional<std::vector<qsizetype>> alignAnalysed(const QString& text, const QString& analysed)
{
    std::vector<qsizetype> at(analysed.size());
    qsizetype next = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (next < analysed.size() && sameAfterAnalysis(text[i], analysed[next]))
            at[next++] = i;
        else if (!droppedByAnalysis(text[i]))
            return std::nullopt;
    }
    if (next != analysed.size())
        return std::nullopt;
    return at;
}

// --- the XML we write ---

QString escaped(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'&')
            out += u"&amp;";
        else if (c == u'<')
            out += u"&lt;";
        else if (c == u'>')
            out += u"&gt;";
        else if (c == u'"')
            out += u"&quot;";
        else if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            out += text.sliced(i++, 2);
        // Characters XML cannot hold (control characters, lone surrogates)
        // may come with a result page's title.
        else if ((c >= u' ' && !c.isSurrogate() && c.unicode() < 0xFFFE) || c == u'\t')
            out += c;
    }
    return out;
}

// Writes Word elements with the prefix the document uses; under a default
// namespace it declares one of its own on the element.
struct WordNames {
    QString prefix = QStringLiteral("w");
    QString declaration;

    static WordNames of(const QString& qualifiedName, const QString& namespaceUri)
    {
        const qsizetype colon = qualifiedName.indexOf(u':');
        if (colon > 0)
            return {qualifiedName.left(colon), {}};
        return {QStringLiteral("w"), QStringLiteral(" xmlns:w=\"%1\"").arg(namespaceUri)};
    }

    QString empty(const QString& name, const QString& attribute, const QString& value) const
    {
        return u'<' + prefix + u':' + name + declaration + u' ' + prefix + u':' + attribute
            + QStringLiteral("=\"") + value + QStringLiteral("\"/>");
    }
};

QString highlightValue(Highlight highlight)
{
    return highlight == Highlight::Red ? QStringLiteral("red") : QStringLiteral("yellow");
}

// --- one mark's characters, run by run ---

struct Shown {
    qsizetype raw = 0;    // where the character begins in the XML
    qsizetype cutAt = 0;  // where a new run may begin just before it
    bool inText = false;  // that place is inside a w:t
    bool cuttable = true;
    int run = -1;
    int text = -1;
    int mark = -1;
};

struct Edit {
    qsizetype at = 0;
    qsizetype removed = 0;
    QString text;
};

class Marker {
public:
    Marker(const TracedDocx& traced, const RunRecorder& recorder, const QList<PaperMark>& marks, int firstId)
        : traced_(traced), xml_(traced.xml), runs_(recorder.runs), texts_(recorder.texts),
          properties_(recorder.properties), marks_(marks), firstId_(firstId)
    { }

    Result<void> collect(const std::vector<qsizetype>& analysedAt)
    {
        std::vector<int> markAt(traced_.bodyLength, -1);
        for (qsizetype m = 0; m < marks_.size(); ++m) {
            const PaperMark& mark = marks_[m];
            if (mark.length <= 0 || mark.start < 0 || mark.start + mark.length > qsizetype(analysedAt.size()))
                continue;
            const qsizetype last = std::min(analysedAt[mark.start + mark.length - 1], traced_.bodyLength - 1);
            for (qsizetype i = analysedAt[mark.start]; i <= last; ++i)
                markAt[i] = int(m);
        }
        std::vector<TextSource> sources = traced_.sources;
        std::sort(sources.begin(), sources.end(),
                  [](const TextSource& a, const TextSource& b) { return a.xmlStart < b.xmlStart; });
        // Only runs that hold a marked character are looked at closely: a
        // thesis has a hundred thousand runs and some hundred marks.
        std::vector<int> runOf(sources.size());
        std::vector<bool> runMarked(runs_.size());
        for (std::size_t i = 0; i < sources.size(); ++i) {
            runOf[i] = runAt(runs_, sources[i].xmlStart);
            if (runOf[i] < 0 || sources[i].position + sources[i].length > qsizetype(markAt.size()))
                return failure(QStringLiteral("无法在文档中找到文字的位置。"));
            const auto begin = markAt.begin() + sources[i].position;
            if (std::any_of(begin, begin + sources[i].length, [](int mark) { return mark >= 0; }))
                runMarked[runOf[i]] = true;
        }
        for (std::size_t i = 0; i < sources.size(); ++i) {
            if (runMarked[runOf[i]] && !addCharacters(sources[i], runOf[i], markAt))
                return failure(QStringLiteral("无法在文档中找到文字的位置。"));
        }
        for (std::size_t i = 1; i < shown_.size(); ++i) {
            if (!shown_[i].cuttable)
                shown_[i].mark = shown_[i - 1].mark;
        }
        first_.assign(marks_.size(), -1);
        last_.assign(marks_.size(), -1);
        for (std::size_t i = 0; i < shown_.size(); ++i) {
            if (shown_[i].mark < 0)
                continue;
            if (first_[shown_[i].mark] < 0)
                first_[shown_[i].mark] = int(i);
            last_[shown_[i].mark] = int(i);
        }
        keepRangesInOneStory();
        return {};
    }

    int placedCount() const
    {
        return int(std::count_if(first_.begin(), first_.end(), [](int at) { return at >= 0; }));
    }

    // The comment ids of the placed marks, in mark order.
    std::vector<int> ids() const
    {
        std::vector<int> ids(marks_.size(), -1);
        int next = firstId_;
        for (std::size_t m = 0; m < first_.size(); ++m) {
            if (first_[m] >= 0)
                ids[m] = next++;
        }
        return ids;
    }

    QString markedXml()
    {
        ids_ = ids();
        std::vector<int> order(shown_.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = int(i);
        std::stable_sort(order.begin(), order.end(),
                         [this](int a, int b) { return shown_[a].run < shown_[b].run; });
        for (std::size_t from = 0; from < order.size();) {
            std::size_t to = from;
            while (to < order.size() && shown_[order[to]].run == shown_[order[from]].run)
                ++to;
            markRun(std::vector<int>(order.begin() + from, order.begin() + to));
            from = to;
        }
        return applied();
    }

private:
    int storyOf(int shown) const { return runs_[shown_[shown].run].story; }

    // A comment's range must lie in one story: Word ignores a start in a text
    // box whose end stands in the body (a piece may run from the one into the
    // other). The range is kept to the mark's part in the story of its end,
    // where the reference stands; the highlight still covers all of it.
    void keepRangesInOneStory()
    {
        for (std::size_t m = 0; m < first_.size(); ++m) {
            if (first_[m] < 0)
                continue;
            const int story = storyOf(last_[m]);
            int at = first_[m];
            while (at < last_[m]
                   && (shown_[at].mark != int(m) || storyOf(at) != story || !shown_[at].cuttable))
                ++at;
            first_[m] = at;
        }
    }

    bool addCharacters(const TextSource& source, int run, const std::vector<int>& markAt)
    {
        std::optional<std::vector<qsizetype>> offsets;
        int text = -1;
        if (source.characters) {
            offsets = characterOffsets(
                QStringView(xml_).sliced(source.xmlStart, source.xmlEnd - source.xmlStart), source.length);
            text = textAt(texts_, source.xmlStart);
            if (!offsets || text < 0)
                return false;
        }
        for (qsizetype k = 0; k < source.length; ++k) {
            Shown c;
            c.run = run;
            c.text = text;
            c.mark = source.position + k < qsizetype(markAt.size()) ? markAt[source.position + k] : -1;
            if (source.characters) {
                c.raw = source.xmlStart + (*offsets)[k];
                c.inText = c.raw > texts_[text].tagEnd;
                c.cutAt = c.inText ? c.raw : texts_[text].start;
                const qsizetype position = source.position + k;
                c.cuttable = !(k > 0 && traced_.text[position].isLowSurrogate()
                               && traced_.text[position - 1].isHighSurrogate());
            } else {
                c.raw = source.xmlStart;
                c.cutAt = source.xmlStart;
                c.cuttable = k == 0;  // the characters of one element stay together
            }
            shown_.push_back(c);
        }
        return true;
    }

    void markRun(const std::vector<int>& chars)
    {
        if (std::all_of(chars.begin(), chars.end(), [this](int i) { return shown_[i].mark < 0; }))
            return;
        const RunSpan& run = runs_[shown_[chars.front()].run];
        const int opening = shown_[chars.front()].mark;
        if (opening >= 0) {
            if (first_[opening] == chars.front())
                edits_.push_back({run.start, 0, commentStart(run, opening)});
            if (run.propsStart >= 0)
                edits_.push_back({run.propsStart, run.propsEnd - run.propsStart, properties(run, opening)});
            else
                edits_.push_back({run.tagEnd, 0, properties(run, opening)});
        }
        for (std::size_t j = 1; j < chars.size(); ++j) {
            const Shown& before = shown_[chars[j - 1]];
            const Shown& c = shown_[chars[j]];
            // A range's start moved into the run (keepRangesInOneStory) splits it too.
            if (c.mark != before.mark || (c.mark >= 0 && first_[c.mark] == chars[j]))
                splitBefore(run, chars[j - 1], chars[j]);
        }
        const int closing = shown_[chars.back()].mark;
        if (closing >= 0 && last_[closing] == chars.back())
            edits_.push_back({run.end, 0, commentEnd(run, closing)});
    }

    void splitBefore(const RunSpan& run, int previous, int next)
    {
        const Shown& c = shown_[next];
        QString text;
        const TextSpan* wordText = c.inText ? &texts_[c.text] : nullptr;
        if (wordText) {
            text += QStringLiteral("</") + nameAt(wordText->start, wordText->nameLength) + u'>';
            preserveSpaces(c.text);
        }
        text += QStringLiteral("</") + nameAt(run.start, run.nameLength) + u'>';
        const int ending = shown_[previous].mark;
        if (ending >= 0 && last_[ending] == previous)
            text += commentEnd(run, ending);
        if (c.mark >= 0 && first_[c.mark] == next)
            text += commentStart(run, c.mark);
        text += xml_.sliced(run.start, run.tagEnd - run.start) + properties(run, c.mark);
        if (wordText)
            text += u'<' + nameAt(wordText->start, wordText->nameLength)
                + QStringLiteral(" xml:space=\"preserve\">");
        edits_.push_back({c.cutAt, 0, text});
    }

    // A w:t that is cut in two keeps its spaces at the cut.
    void preserveSpaces(int text)
    {
        const TextSpan& span = texts_[text];
        const QStringView tag = QStringView(xml_).sliced(span.start, span.tagEnd - span.start);
        if (tag.contains(u"xml:space")
            || std::find(preserved_.begin(), preserved_.end(), text) != preserved_.end())
            return;
        preserved_.push_back(text);
        edits_.push_back({span.tagEnd - 1, 0, QStringLiteral(" xml:space=\"preserve\"")});
    }

    // The run's properties, highlighted for `mark` (as they were for none).
    QString properties(const RunSpan& run, int mark) const
    {
        const QString original =
            run.propsStart >= 0 ? xml_.sliced(run.propsStart, run.propsEnd - run.propsStart) : QString();
        if (mark < 0)
            return original;
        const WordNames names = namesOf(run);
        const QString highlight = names.empty(QStringLiteral("highlight"), QStringLiteral("val"),
                                              highlightValue(marks_[mark].highlight));
        if (run.propsStart < 0)
            return u'<' + names.prefix + QStringLiteral(":rPr") + names.declaration + u'>' + highlight
                + QStringLiteral("</") + names.prefix + QStringLiteral(":rPr>");
        const QStringView tag = QStringView(xml_).sliced(run.propsStart, run.propsTagEnd - run.propsStart);
        if (tag.endsWith(u"/>"))
            return tag.chopped(2).toString() + u'>' + highlight + QStringLiteral("</")
                + nameAt(run.propsStart, run.propsNameLength) + u'>';
        QString out = tag.toString();
        bool placed = false;
        const QStringView prefix = names.declaration.isEmpty() ? QStringView(names.prefix) : QStringView();
        for (int i = run.firstProperty; i < run.firstProperty + run.propertyCount; ++i) {
            const PropertySpan& property = properties_[i];
            const QStringView local = wordLocalName(QStringView(xml_).sliced(property.start), prefix);
            if (!placed && (local.isNull() || followsHighlight(local))) {
                out += highlight;
                placed = true;
            }
            if (local != u"highlight")
                out += xml_.sliced(property.start, property.end - property.start);
        }
        if (!placed)
            out += highlight;
        return out + xml_.sliced(run.propsEndTagStart, run.propsEnd - run.propsEndTagStart);
    }

    QString commentStart(const RunSpan& run, int mark) const
    {
        return namesOf(run).empty(QStringLiteral("commentRangeStart"), QStringLiteral("id"),
                                  QString::number(ids_[mark]));
    }

    QString commentEnd(const RunSpan& run, int mark) const
    {
        const WordNames names = namesOf(run);
        const QString id = QString::number(ids_[mark]);
        return names.empty(QStringLiteral("commentRangeEnd"), QStringLiteral("id"), id) + u'<' + names.prefix
            + QStringLiteral(":r") + names.declaration + u'>'
            + names.empty(QStringLiteral("commentReference"), QStringLiteral("id"), id) + QStringLiteral("</")
            + names.prefix + QStringLiteral(":r>");
    }

    // The qualified name of the element whose tag begins at `start`.
    QString nameAt(qsizetype start, qsizetype length) const { return xml_.sliced(start + 1, length); }

    WordNames namesOf(const RunSpan& run) const
    {
        return WordNames::of(nameAt(run.start, run.nameLength),
                             run.strict ? kStrictWordNamespace : kWordNamespace);
    }

    QString applied()
    {
        std::stable_sort(edits_.begin(), edits_.end(),
                         [](const Edit& a, const Edit& b) { return a.at < b.at; });
        QString out;
        out.reserve(xml_.size() + xml_.size() / 8);
        qsizetype copied = 0;
        for (const Edit& edit : edits_) {
            if (edit.at < copied)
                return {};  // two changes of one place: refused by the caller
            out += QStringView(xml_).sliced(copied, edit.at - copied);
            out += edit.text;
            copied = edit.at + edit.removed;
        }
        out += QStringView(xml_).sliced(copied);
        return out;
    }

    const TracedDocx& traced_;
    const QString& xml_;
    const std::vector<RunSpan>& runs_;
    const std::vector<TextSpan>& texts_;
    const std::vector<PropertySpan>& properties_;
    const QList<PaperMark>& marks_;
    const int firstId_;
    std::vector<Shown> shown_;  // in the XML's order
    std::vector<int> first_;    // per mark: its first and last character in shown_
    std::vector<int> last_;
    std::vector<int> ids_;
    std::vector<Edit> edits_;
    std::vector<int> preserved_;
};

// --- the parts around the main part ---

QString decoded(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes);
}

struct RootInfo {
    qsizetype endTagStart = -1;  // where the root's end tag begins
    QString qualifiedName;
    QString namespaceUri;
    int largestCommentId = -1;
};

Result<RootInfo> rootOf(const QString& part, const QString& xml)
{
    RootInfo info;
    QXmlStreamReader reader(xml);
    qsizetype tokenStart = 0;
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::DTD)
            return failure(QStringLiteral("%1 含有文档类型定义（DTD），不予处理。").arg(part));
        if (token == QXmlStreamReader::StartElement) {
            if (depth++ == 0) {
                info.qualifiedName = reader.qualifiedName().toString();
                info.namespaceUri = reader.namespaceUri().toString();
            }
            if (depth == 2 && reader.name() == u"comment") {
                for (const QXmlStreamAttribute& attribute : reader.attributes()) {
                    if (attribute.name() == u"id")
                        info.largestCommentId = std::max(info.largestCommentId, attribute.value().toInt());
                }
            }
        } else if (token == QXmlStreamReader::EndElement && --depth == 0) {
            info.endTagStart = tokenStart;
        }
        tokenStart = tokenEnd(reader, xml, tokenStart);
    }
    if (reader.hasError() || info.endTagStart < 0)
        return failure(QStringLiteral("%1 的 XML 已损坏。").arg(part));
    return info;
}

QString commentXml(const WordNames& names, int id, const PaperMark& mark, const MarkOptions& options)
{
    const QString p = names.prefix + u':';
    QString out = u'<' + p + QStringLiteral("comment") + names.declaration + u' ' + p
        + QStringLiteral("id=\"") + QString::number(id) + QStringLiteral("\" ") + p
        + QStringLiteral("author=\"") + escaped(options.author) + u'"';
    if (options.date.isValid())
        out += u' ' + p + QStringLiteral("date=\"") + options.date.toUTC().toString(Qt::ISODate) + u'"';
    out += u'>';
    for (const QString& paragraph : mark.comment) {
        out += u'<' + p + QStringLiteral("p><") + p + QStringLiteral("r><") + p
            + QStringLiteral("t xml:space=\"preserve\">") + escaped(paragraph) + QStringLiteral("</") + p
            + QStringLiteral("t></") + p + QStringLiteral("r></") + p + QStringLiteral("p>");
    }
    if (mark.comment.isEmpty())
        out += u'<' + p + QStringLiteral("p/>");
    return out + QStringLiteral("</") + p + QStringLiteral("comment>");
}

QString comments(const WordNames& names, const QList<PaperMark>& marks, const std::vector<int>& ids,
                 const MarkOptions& options)
{
    QString out;
    for (qsizetype m = 0; m < marks.size(); ++m) {
        if (ids[m] >= 0)
            out += commentXml(names, ids[m], marks[m], options);
    }
    return out;
}

QString insertedBeforeRootEnd(const QString& xml, const RootInfo& root, const QString& text)
{
    return xml.left(root.endTagStart) + text + xml.sliced(root.endTagStart);
}

QString folderOf(const QString& part)
{
    const qsizetype slash = part.lastIndexOf(u'/');
    return slash < 0 ? QString() : part.left(slash);
}

// The changed and added parts of the package, by name.
struct PackageChanges {
    QHash<QString, QByteArray> replaced;  // names in lower case
    QList<std::pair<QString, QByteArray>> added;

    void put(const MemoryZip& zip, const QString& part, const QString& xml, bool byteOrderMark = false)
    {
        const QByteArray bytes = (byteOrderMark ? QByteArray("\xEF\xBB\xBF") : QByteArray()) + xml.toUtf8();
        if (zip.contains(part))
            replaced.insert(part.toLower(), bytes);
        else
            added.append({part, bytes});
    }
};

bool isStrict(const QString& namespaceUri) { return namespaceUri.startsWith(u"http://purl.oclc.org/"); }

// Adds a comments part, names it in the main part's relationships and in the
// content types.
Result<void> addCommentsPart(const MemoryZip& zip, const TracedDocx& traced, const QString& commentsXml,
                             const QString& wordNamespace, qint64 limit, PackageChanges& changes)
{
    const QString folder = folderOf(traced.mainPart);
    QString part;
    for (int n = 1; part.isEmpty() || zip.contains(part); ++n)
        part = (folder.isEmpty() ? QString() : folder + u'/') + QStringLiteral("comments")
            + (n == 1 ? QString() : QString::number(n)) + QStringLiteral(".xml");
    const bool strict = isStrict(wordNamespace);
    const QString relationshipType = strict
        ? QStringLiteral("http://purl.oclc.org/ooxml/officeDocument/relationships/comments")
        : QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/comments");

    const QString relsPart = relationshipsOf(traced.mainPart);
    QString rels;
    if (zip.contains(relsPart)) {
        const Result<QByteArray> bytes = zip.readAll(relsPart, limit);
        if (!bytes)
            return failure(bytes.error());
        rels = decoded(*bytes);
    } else {
        rels = QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<Relationships "
            "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"></Relationships>");
    }
    const Result<RootInfo> relsRoot = rootOf(relsPart, rels);
    if (!relsRoot)
        return failure(relsRoot.error());
    QString id = QStringLiteral("rIdTrovalisComments");
    for (int n = 2; rels.contains(u'"' + id + u'"'); ++n)
        id = QStringLiteral("rIdTrovalisComments%1").arg(n);
    const QString relsPrefix = relsRoot->qualifiedName.contains(u':')
        ? relsRoot->qualifiedName.left(relsRoot->qualifiedName.indexOf(u':') + 1)
        : QString();
    const QString relationship = u'<' + relsPrefix + QStringLiteral("Relationship Id=\"") + id
        + QStringLiteral("\" Type=\"") + relationshipType + QStringLiteral("\" Target=\"")
        + part.mid(folder.isEmpty() ? 0 : folder.size() + 1) + QStringLiteral("\"/>");
    changes.put(zip, relsPart, insertedBeforeRootEnd(rels, *relsRoot, relationship));

    const Result<QByteArray> typesBytes = zip.readAll(kContentTypesPart, limit);
    if (!typesBytes)
        return failure(typesBytes.error());
    const QString types = decoded(*typesBytes);
    const Result<RootInfo> typesRoot = rootOf(kContentTypesPart, types);
    if (!typesRoot)
        return failure(typesRoot.error());
    const QString typesPrefix = typesRoot->qualifiedName.contains(u':')
        ? typesRoot->qualifiedName.left(typesRoot->qualifiedName.indexOf(u':') + 1)
        : QString();
    const QString override = u'<' + typesPrefix + QStringLiteral("Override PartName=\"/") + part
        + QStringLiteral("\" ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml."
                         "comments+xml\"/>");
    changes.put(zip, kContentTypesPart, insertedBeforeRootEnd(types, *typesRoot, override),
                typesBytes->startsWith("\xEF\xBB\xBF"));

    const QString whole =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<w:comments "
                       "xmlns:w=\"%1\">")
            .arg(wordNamespace)
        + commentsXml + QStringLiteral("</w:comments>");
    changes.put(zip, part, whole);
    return {};
}

// The comments part the document already has, if any.
struct ExistingComments {
    QString part;
    QString xml;
    bool byteOrderMark = false;
    RootInfo root;
};

Result<std::optional<ExistingComments>> existingComments(const MemoryZip& zip, const TracedDocx& traced,
                                                         qint64 limit)
{
    const QString part = traced.parts.value(QStringLiteral("comments"));
    if (part.isEmpty() || !zip.contains(part))
        return std::optional<ExistingComments>();
    const Result<QByteArray> bytes = zip.readAll(part, limit);
    if (!bytes)
        return failure(bytes.error());
    ExistingComments existing{part, decoded(*bytes), bytes->startsWith("\xEF\xBB\xBF"), {}};
    Result<RootInfo> root = rootOf(part, existing.xml);
    if (!root)
        return failure(root.error());
    existing.root = std::move(*root);
    return std::optional<ExistingComments>(std::move(existing));
}

}  // namespace

QString textDiffers() { return QStringLiteral("文档的文字与检测的论文不一致，无法在其中标注。"); }

Result<MarkedDocx> markDocx(const QByteArray& package, const QString& analysedText,
                            const QList<PaperMark>& marks, const MarkOptions& options)
{
    const Result<MemoryZip> zip = MemoryZip::open(package);
    if (!zip)
        return failure(QStringLiteral("文件已损坏，不是有效的 Word 文档压缩包。"));
    RunRecorder recorder;
    const Result<TracedDocx> traced = traceDocx(
        *zip,
        [&recorder](const QXmlStreamReader& xml, qsizetype start, qsizetype end) {
            recorder.token(xml, start, end);
        },
        options.limits);
    if (!traced)
        return failure(traced.error());
    if (options.isThePaper && !options.isThePaper(traced->text))
        return failure(textDiffers());
    const std::optional<std::vector<qsizetype>> analysedAt = alignAnalysed(traced->text, analysedText);
    if (!analysedAt)
        return failure(textDiffers());

    const qint64 limit = options.limits.maxPartSize;
    const Result<std::optional<ExistingComments>> existing = existingComments(*zip, *traced, limit);
    if (!existing)
        return failure(existing.error());
    const int firstId = (*existing ? (*existing)->root.largestCommentId : -1) + 1;
    Marker marker(*traced, recorder, marks, firstId);
    const Result<void> collected = marker.collect(*analysedAt);
    if (!collected)
        return failure(collected.error());

    MarkedDocx result;
    result.marked = marker.placedCount();
    result.unplaced = int(marks.size()) - result.marked;
    PackageChanges changes;
    const QString markedXml = marker.markedXml();
    if (markedXml.isEmpty())
        return failure(QStringLiteral("无法在文档中找到文字的位置。"));
    changes.put(*zip, traced->mainPart, markedXml, traced->byteOrderMark);
    const std::vector<int> ids = marker.ids();
    if (result.marked > 0) {
        if (*existing) {
            const ExistingComments& kept = **existing;
            const WordNames names = WordNames::of(kept.root.qualifiedName, kept.root.namespaceUri);
            changes.put(*zip, kept.part,
                        insertedBeforeRootEnd(kept.xml, kept.root, comments(names, marks, ids, options)),
                        kept.byteOrderMark);
        } else {
            const RunSpan* anyRun = recorder.runs.empty() ? nullptr : &recorder.runs.front();
            const QString wordNamespace = anyRun && anyRun->strict ? kStrictWordNamespace : kWordNamespace;
            const Result<void> added = addCommentsPart(*zip, *traced, comments({}, marks, ids, options),
                                                       wordNamespace, limit, changes);
            if (!added)
                return failure(added.error());
        }
    }
    Result<QByteArray> written = zip->rewritten(changes.replaced, changes.added);
    if (!written)
        return failure(written.error());
    // The copy must read as the original does: a mark must never change the text.
    const Result<QString> readBack = readDocxText(*written, options.limits);
    if (!readBack || *readBack != traced->text)
        return failure(QStringLiteral("标注后的文档无法按原文读出，未写入。"));
    result.package = std::move(*written);
    return result;
}

QByteArray plainDocx(const QStringList& lines)
{
    QString body;
    for (const QString& line : lines) {
        body += line.isEmpty() ? QStringLiteral("<w:p/>")
                               : QStringLiteral("<w:p><w:r><w:t xml:space=\"preserve\">") + escaped(line)
                + QStringLiteral("</w:t></w:r></w:p>");
    }
    const QString document =
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<w:document xmlns:w=\"%1\">"
            "<w:body>")
            .arg(kWordNamespace)
        + body + QStringLiteral("<w:sectPr/></w:body></w:document>");
    const QByteArray types =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" "
        "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Override PartName=\"/word/document.xml\" "
        "ContentType=\"application/vnd.openxmlformats-officedocument.wordprocessingml.document.main+xml\"/>"
        "</Types>";
    const QByteArray rels =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId1\" "
        "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
        "Target=\"word/document.xml\"/></Relationships>";
    const Result<QByteArray> bytes = zipOf({{kContentTypesPart, types},
                                            {QStringLiteral("_rels/.rels"), rels},
                                            {QStringLiteral("word/document.xml"), document.toUtf8()}});
    return bytes ? *bytes : QByteArray();
}

}  // namespace documents
