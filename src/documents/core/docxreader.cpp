#include "documents/core/docxreader.h"

#include "documents/core/listnumbers.h"
#include "documents/core/memoryzip.h"

#include <QHash>
#include <QStringDecoder>
#include <QStringList>
#include <QUrl>
#include <QXmlStreamReader>

#include <array>
#include <functional>
#include <vector>

namespace documents {

// Word writes the transitional namespace; the strict one means the same.
bool isWordNamespace(QStringView uri)
{
    return uri == u"http://schemas.openxmlformats.org/wordprocessingml/2006/main"
        || uri == u"http://purl.oclc.org/ooxml/wordprocessingml/main";
}

namespace {

bool isCompatibilityNamespace(QStringView uri)
{
    return uri == u"http://schemas.openxmlformats.org/markup-compatibility/2006";
}

QString wordAttribute(const QXmlStreamAttributes& attributes, QLatin1StringView name)
{
    for (const QXmlStreamAttribute& attribute : attributes) {
        if (attribute.name() == name && isWordNamespace(attribute.namespaceUri()))
            return attribute.value().toString();
    }
    return {};
}

int intAttribute(const QXmlStreamAttributes& attributes, QLatin1StringView name, int fallback)
{
    bool ok = false;
    const int value = wordAttribute(attributes, name).toInt(&ok);
    return ok ? value : fallback;
}

// Drives a QXmlStreamReader over data that may come in pieces and stops at
// the first problem: a DTD (never part of these documents, and the way to
// an entity bomb), broken XML, or a document that ends too early.
class XmlFeed {
public:
    using Handler = std::function<void(QXmlStreamReader&)>;
    XmlFeed(QString partName, Handler handler) : part_(std::move(partName)), handler_(std::move(handler))
    {
        reader_.setNamespaceProcessing(true);
    }

    bool feed(QByteArrayView bytes)
    {
        reader_.addData(QByteArray(bytes.data(), bytes.size()));
        while (problem_.isEmpty()) {
            const QXmlStreamReader::TokenType token = reader_.readNext();
            if (token == QXmlStreamReader::Invalid) {
                if (reader_.error() != QXmlStreamReader::PrematureEndOfDocumentError)
                    problem_ = brokenXml();
                break;
            }
            if (token == QXmlStreamReader::DTD) {
                problem_ = QStringLiteral("%1 含有文档类型定义（DTD），为防范恶意文档不予读取。").arg(part_);
                break;
            }
            if (token == QXmlStreamReader::EndDocument)
                break;
            handler_(reader_);
        }
        return problem_.isEmpty();
    }

    Result<void> finish()
    {
        if (problem_.isEmpty() && !reader_.atEnd())
            feed({});
        if (problem_.isEmpty() && reader_.error() == QXmlStreamReader::PrematureEndOfDocumentError)
            problem_ = brokenXml();
        if (!problem_.isEmpty())
            return failure(problem_);
        return {};
    }

    QString problem() const { return problem_; }

private:
    QString brokenXml() const
    {
        return QStringLiteral("%1 的 XML 已损坏（第 %2 行：%3）。")
            .arg(part_)
            .arg(reader_.lineNumber())
            .arg(reader_.errorString());
    }

    QString part_;
    Handler handler_;
    QXmlStreamReader reader_;
    QString problem_;
};

Result<void> parseWhole(const QString& part, QByteArrayView bytes, const XmlFeed::Handler& handler)
{
    XmlFeed feed(part, handler);
    feed.feed(bytes);
    return feed.finish();
}

// Part names inside the package: relative to the part that refers to them,
// or absolute from the package root.
QString resolvePart(const QString& baseFolder, const QString& target)
{
    const QString decoded = QUrl::fromPercentEncoding(target.toUtf8());
    QStringList segments;
    const QString joined = decoded.startsWith(u'/') ? decoded : baseFolder + u'/' + decoded;
    for (const QString& segment : joined.split(u'/', Qt::SkipEmptyParts)) {
        if (segment == u"..") {
            if (!segments.isEmpty())
                segments.removeLast();
        } else if (segment != u".") {
            segments.append(segment);
        }
    }
    return segments.join(u'/');
}

QString folderOf(const QString& part)
{
    const qsizetype slash = part.lastIndexOf(u'/');
    return slash < 0 ? QString() : part.left(slash);
}

}  // namespace

QString relationshipsOf(const QString& part)
{
    const QString folder = folderOf(part);
    const QString name = part.mid(folder.isEmpty() ? 0 : folder.size() + 1);
    return (folder.isEmpty() ? QString() : folder + u'/') + QStringLiteral("_rels/") + name
        + QStringLiteral(".rels");
}

namespace {

// Relationship type (its last path segment, the same in both namespaces) ->
// the part it names. External targets (web links) are not parts.
Result<QHash<QString, QString>> readRelationships(const MemoryZip& zip, const QString& part,
                                                  const QString& sourceFolder, qint64 limit)
{
    QHash<QString, QString> targets;
    const QString relsName = relationshipsOf(part);
    if (!zip.contains(relsName))
        return targets;
    const Result<QByteArray> bytes = zip.readAll(relsName, limit);
    if (!bytes)
        return failure(bytes.error());
    const Result<void> parsed = parseWhole(relsName, *bytes, [&](QXmlStreamReader& xml) {
        if (!xml.isStartElement() || xml.name() != u"Relationship")
            return;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (attributes.value(QLatin1StringView("TargetMode")) == u"External")
            return;
        const QString type = attributes.value(QLatin1StringView("Type")).toString();
        const QString kind = type.mid(type.lastIndexOf(u'/') + 1);
        if (!targets.contains(kind))
            targets.insert(
                kind, resolvePart(sourceFolder, attributes.value(QLatin1StringView("Target")).toString()));
    });
    if (!parsed)
        return failure(parsed.error());
    return targets;
}

Result<ListDefinitions> parseNumbering(const QString& part, QByteArrayView bytes)
{
    ListDefinitions lists;
    if (bytes.isEmpty())
        return lists;
    int abstractId = -1;
    int numId = -1;
    int levelIndex = -1;
    int overrideLevel = -1;
    const Result<void> parsed = parseWhole(part, bytes, [&](QXmlStreamReader& xml) {
        if (!isWordNamespace(xml.namespaceUri()))
            return;
        const QStringView name = xml.name();
        if (xml.isEndElement()) {
            if (name == u"abstractNum")
                abstractId = -1;
            else if (name == u"num")
                numId = -1;
            else if (name == u"lvl")
                levelIndex = -1;
            else if (name == u"lvlOverride")
                overrideLevel = -1;
            return;
        }
        if (!xml.isStartElement())
            return;
        const QXmlStreamAttributes a = xml.attributes();
        if (name == u"abstractNum") {
            abstractId = intAttribute(a, QLatin1StringView("abstractNumId"), -1);
        } else if (name == u"num") {
            numId = intAttribute(a, QLatin1StringView("numId"), -1);
            lists.instances[numId].abstractId = -1;
        } else if (name == u"abstractNumId" && numId >= 0) {
            lists.instances[numId].abstractId = intAttribute(a, QLatin1StringView("val"), -1);
        } else if (name == u"lvlOverride" && numId >= 0) {
            overrideLevel = intAttribute(a, QLatin1StringView("ilvl"), -1);
        } else if (name == u"startOverride" && numId >= 0 && overrideLevel >= 0
                   && overrideLevel < kListLevels) {
            lists.instances[numId].startOverrides[overrideLevel] =
                intAttribute(a, QLatin1StringView("val"), 1);
        } else if (name == u"lvl" && abstractId >= 0) {
            levelIndex = intAttribute(a, QLatin1StringView("ilvl"), -1);
        } else if (abstractId >= 0 && levelIndex >= 0 && levelIndex < kListLevels) {
            ListLevel& level = lists.abstracts[abstractId][levelIndex];
            if (name == u"start")
                level.start = intAttribute(a, QLatin1StringView("val"), 1);
            else if (name == u"numFmt")
                level.format = wordAttribute(a, QLatin1StringView("val"));
            else if (name == u"lvlText")
                level.text = wordAttribute(a, QLatin1StringView("val"));
            else if (name == u"suff")
                level.suffix = wordAttribute(a, QLatin1StringView("val"));
            else if (name == u"pStyle")
                level.style = wordAttribute(a, QLatin1StringView("val"));
            else if (name == u"isLgl")
                level.legal = wordAttribute(a, QLatin1StringView("val")) != u"0"
                    && wordAttribute(a, QLatin1StringView("val")) != u"false";
        }
    });
    if (!parsed)
        return failure(parsed.error());
    return lists;
}

// Paragraph styles may number their paragraphs (headings "第1章" mostly do).
Result<ListDefinitions> parseStyles(const QString& part, QByteArrayView bytes, ListDefinitions lists)
{
    if (bytes.isEmpty())
        return lists;
    QString styleId;
    bool inParagraphProperties = false;
    const Result<void> parsed = parseWhole(part, bytes, [&](QXmlStreamReader& xml) {
        if (!isWordNamespace(xml.namespaceUri()))
            return;
        const QStringView name = xml.name();
        if (xml.isEndElement()) {
            if (name == u"style")
                styleId.clear();
            else if (name == u"pPr")
                inParagraphProperties = false;
            return;
        }
        if (!xml.isStartElement())
            return;
        const QXmlStreamAttributes a = xml.attributes();
        if (name == u"style") {
            if (wordAttribute(a, QLatin1StringView("type")) != u"paragraph")
                return;
            styleId = wordAttribute(a, QLatin1StringView("styleId"));
            if (wordAttribute(a, QLatin1StringView("default")) == u"1")
                lists.defaultStyle = styleId;
            lists.styles[styleId];
        } else if (styleId.isEmpty()) {
            return;
        } else if (name == u"basedOn") {
            lists.styles[styleId].basedOn = wordAttribute(a, QLatin1StringView("val"));
        } else if (name == u"pPr") {
            inParagraphProperties = true;
        } else if (inParagraphProperties && name == u"numId") {
            lists.styles[styleId].numId = intAttribute(a, QLatin1StringView("val"), -1);
        } else if (inParagraphProperties && name == u"ilvl") {
            lists.styles[styleId].level = intAttribute(a, QLatin1StringView("val"), -1);
        }
    });
    if (!parsed)
        return failure(parsed.error());
    return lists;
}

enum class Node : quint8 {
    Other,
    Paragraph,
    ParagraphProperties,
    ParagraphMarkProperties,
    NumberingProperties,
    Run,
    RunProperties,
    Text
};

// Walks one story (the body, the footnotes or the endnotes) and collects
// its lines. Skipped subtrees (deleted text, field codes, old properties,
// fallback content that repeats the chosen one) are counted by depth only.
//
// With a trace, it also notes where each stretch of text it keeps stands in
// the XML, so that the marking changes the document exactly where the
// reading found the text: one walk decides for both what is shown.
class StoryWalker {
public:
    explicit StoryWalker(const ListDefinitions& lists, std::vector<TextSource>* trace = nullptr)
        : numbers_(lists), trace_(trace)
    { }

    // The span of the token that `token` gets next, in the decoded XML.
    void setTokenSpan(qsizetype start, qsizetype end)
    {
        tokenStart_ = start;
        tokenEnd_ = end;
    }

    void token(QXmlStreamReader& xml)
    {
        if (xml.isStartElement())
            start(xml);
        else if (xml.isEndElement())
            end(xml);
        else if (xml.isCharacters() && skipDepth_ == 0 && !nodes_.empty() && nodes_.back() == Node::Text
                 && fieldShowsText())
            appendText(xml.text(), true);
    }

    QStringList takeLines()
    {
        if (!carried_.isEmpty())
            emitLine(std::move(carried_), std::move(carriedSources_));
        carried_.clear();
        return std::move(lines_);
    }

private:
    struct OpenParagraph {
        QString text;
        QString style;
        int numId = -1;
        int level = -1;
        bool markDeleted = false;         // joined with the next paragraph
        std::vector<TextSource> sources;  // positions in `text` until the line is placed
    };

    void start(QXmlStreamReader& xml)
    {
        if (skipDepth_ > 0) {
            ++skipDepth_;
            return;
        }
        const QStringView name = xml.name();
        if (isCompatibilityNamespace(xml.namespaceUri()) && name == u"Fallback") {
            skipDepth_ = 1;
            return;
        }
        if (!isWordNamespace(xml.namespaceUri())) {
            nodes_.push_back(Node::Other);
            return;
        }
        const Node parent = nodes_.empty() ? Node::Other : nodes_.back();
        const QXmlStreamAttributes a = xml.attributes();
        if (isSkipped(name, parent, a)) {
            skipDepth_ = 1;
            return;
        }
        Node node = Node::Other;
        if (name == u"p") {
            node = Node::Paragraph;
            paragraphs_.push_back({});
        } else if (name == u"pPr" && parent == Node::Paragraph) {
            node = Node::ParagraphProperties;
        } else if (parent == Node::ParagraphProperties) {
            node = paragraphProperty(name, a);
        } else if (parent == Node::NumberingProperties && !paragraphs_.empty()) {
            if (name == u"numId")
                paragraphs_.back().numId = intAttribute(a, QLatin1StringView("val"), -1);
            else if (name == u"ilvl")
                paragraphs_.back().level = intAttribute(a, QLatin1StringView("val"), -1);
        } else if (parent == Node::ParagraphMarkProperties) {
            if ((name == u"del" || name == u"moveFrom") && !paragraphs_.empty())
                paragraphs_.back().markDeleted = true;
        } else if (name == u"r") {
            node = Node::Run;
            runHidden_ = false;
        } else if (parent == Node::Run && name == u"rPr") {
            node = Node::RunProperties;
        } else if (parent == Node::RunProperties) {
            // Hidden text is not shown, nor printed, by the word processor.
            if (name == u"vanish")
                runHidden_ = !isSwitchedOff(wordAttribute(a, QLatin1StringView("val")));
        } else if (parent == Node::Run) {
            node = runContent(name, a);
        }
        nodes_.push_back(node);
    }

    // Elements whose content is never shown.
    static bool isSkipped(QStringView name, Node parent, const QXmlStreamAttributes& a)
    {
        if (name == u"footnote" || name == u"endnote") {
            const QString type = wordAttribute(a, QLatin1StringView("type"));
            return !type.isEmpty() && type != u"normal";  // the separator lines
        }
        if (parent == Node::ParagraphMarkProperties)
            return false;
        return name == u"del" || name == u"moveFrom" || name == u"instrText" || name == u"delText"
            || name == u"delInstrText" || name == u"sdtPr" || name == u"sdtEndPr" || name == u"pPrChange"
            || name == u"rPrChange" || name == u"sectPrChange" || name == u"numberingChange"
            || name == u"tblPrChange" || name == u"trPrChange" || name == u"tcPrChange";
    }

    Node paragraphProperty(QStringView name, const QXmlStreamAttributes& a)
    {
        if (name == u"pStyle")
            paragraphs_.back().style = wordAttribute(a, QLatin1StringView("val"));
        else if (name == u"numPr")
            return Node::NumberingProperties;
        else if (name == u"rPr")
            return Node::ParagraphMarkProperties;
        return Node::Other;
    }

    Node runContent(QStringView name, const QXmlStreamAttributes& a)
    {
        if (name == u"t")
            return Node::Text;
        if (name == u"fldChar") {
            fieldCharacter(wordAttribute(a, QLatin1StringView("fldCharType")));
            return Node::Other;
        }
        if (!fieldShowsText())
            return Node::Other;
        if (name == u"tab" || name == u"ptab")
            appendText(u"\t", false);
        else if (name == u"br" || name == u"cr")
            appendText(u"\n", false);
        else if (name == u"noBreakHyphen")
            appendText(u"-", false);
        else if (name == u"sym")
            appendText(
                symbolLookAlike(QChar(wordAttribute(a, QLatin1StringView("char")).toUShort(nullptr, 16))),
                false);
        return Node::Other;
    }

    // A field shows its result (between "separate" and "end"), never its
    // code; a field without a result shows nothing. Fields nest and may
    // span paragraphs (an index or a table of contents does).
    void fieldCharacter(const QString& type)
    {
        if (type == u"begin")
            fieldInResult_.push_back(false);
        else if (type == u"separate" && !fieldInResult_.empty())
            fieldInResult_.back() = true;
        else if (type == u"end" && !fieldInResult_.empty())
            fieldInResult_.pop_back();
    }

    bool fieldShowsText() const
    {
        for (const bool inResult : fieldInResult_) {
            if (!inResult)
                return false;
        }
        return true;
    }

    static bool isSwitchedOff(const QString& value)
    {
        return value == u"0" || value == u"false" || value == u"off";
    }

    // `characters`: the text is the token's own (a w:t's content), not an element's.
    void appendText(QStringView text, bool characters)
    {
        if (paragraphs_.empty() || runHidden_)
            return;
        OpenParagraph& paragraph = paragraphs_.back();
        if (trace_)
            paragraph.sources.push_back(
                {paragraph.text.size(), text.size(), tokenStart_, tokenEnd_, characters});
        paragraph.text += text;
    }

    void end(QXmlStreamReader& xml)
    {
        if (skipDepth_ > 0) {
            --skipDepth_;
            return;
        }
        if (nodes_.empty())
            return;
        const Node node = nodes_.back();
        nodes_.pop_back();
        if (node == Node::Paragraph && !paragraphs_.empty())
            closeParagraph();
        Q_UNUSED(xml);
    }

    void closeParagraph()
    {
        OpenParagraph paragraph = std::move(paragraphs_.back());
        paragraphs_.pop_back();
        const QString label = numbers_.label(paragraph.style, paragraph.numId, paragraph.level);
        std::vector<TextSource> sources = std::move(carriedSources_);
        carriedSources_.clear();
        for (TextSource& source : paragraph.sources) {
            source.position += carried_.size() + label.size();
            sources.push_back(source);
        }
        QString line = carried_ + label + paragraph.text;
        carried_.clear();
        if (paragraph.markDeleted) {
            carried_ = std::move(line);
            carriedSources_ = std::move(sources);
        } else {
            emitLine(std::move(line), std::move(sources));
        }
    }

    // `sources` count from the line's start; the trace counts from the story's.
    void emitLine(QString line, std::vector<TextSource> sources)
    {
        if (trace_) {
            for (TextSource& source : sources) {
                source.position += storyLength_;
                trace_->push_back(source);
            }
        }
        storyLength_ += line.size() + 1;
        lines_.append(std::move(line));
    }

    ListNumbers numbers_;
    std::vector<Node> nodes_;
    std::vector<OpenParagraph> paragraphs_;  // more than one inside text boxes
    std::vector<bool> fieldInResult_;
    int skipDepth_ = 0;
    bool runHidden_ = false;
    QString carried_;
    std::vector<TextSource> carriedSources_;
    QStringList lines_;
    std::vector<TextSource>* trace_;
    qsizetype tokenStart_ = 0;
    qsizetype tokenEnd_ = 0;
    qsizetype storyLength_ = 0;  // the emitted lines with their separators
};

// The story's bytes come from `pump`, which hands them to its sink in pieces
// (a large document is never held unpacked as a whole).
using Pump = std::function<Result<void>(const std::function<bool(QByteArrayView)>& sink)>;

struct StoryTrace {
    const TokenObserver& observer;
    std::vector<TextSource>& sources;
    QStringView xml;
};

Result<QStringList> readStory(const QString& part, const Pump& pump, const ListDefinitions& lists,
                              const StoryTrace* trace = nullptr)
{
    StoryWalker walker(lists, trace ? &trace->sources : nullptr);
    qsizetype tokenStart = 0;
    XmlFeed feed(part, [&](QXmlStreamReader& xml) {
        if (trace) {
            const qsizetype tokenEnd = documents::tokenEnd(xml, trace->xml, tokenStart);
            walker.setTokenSpan(tokenStart, tokenEnd);
            if (trace->observer)
                trace->observer(xml, tokenStart, tokenEnd);
            tokenStart = tokenEnd;
        }
        walker.token(xml);
    });
    const Result<void> read = pump([&feed](QByteArrayView chunk) { return feed.feed(chunk); });
    if (!feed.problem().isEmpty())
        return failure(feed.problem());
    if (!read)
        return failure(read.error());
    const Result<void> finished = feed.finish();
    if (!finished)
        return failure(finished.error());
    return walker.takeLines();
}

Pump wholePump(QByteArrayView bytes)
{
    return [bytes](const std::function<bool(QByteArrayView)>& sink) -> Result<void> {
        sink(bytes);
        return {};
    };
}

// What every reading of a package needs before its stories.
struct PackageIndex {
    QString main;                   // the main part's name
    QHash<QString, QString> parts;  // the main part's relationships: kind -> part
    ListDefinitions lists;
};

Result<PackageIndex> indexPackage(const MemoryZip& zip, qint64 limit)
{
    const Result<QHash<QString, QString>> packageRels = readRelationships(zip, QString(), QString(), limit);
    if (!packageRels)
        return failure(packageRels.error());
    PackageIndex index;
    index.main = packageRels->value(QStringLiteral("officeDocument"), QStringLiteral("word/document.xml"));
    if (!zip.contains(index.main))
        return failure(QStringLiteral("文件中没有正文（%1）。").arg(index.main));

    Result<QHash<QString, QString>> parts = readRelationships(zip, index.main, folderOf(index.main), limit);
    if (!parts)
        return failure(parts.error());
    index.parts = std::move(*parts);
    const auto optionalPart = [&](const QString& kind) -> Result<QByteArray> {
        const QString part = index.parts.value(kind);
        if (part.isEmpty() || !zip.contains(part))
            return QByteArray();
        return zip.readAll(part, limit);
    };
    const Result<QByteArray> numbering = optionalPart(QStringLiteral("numbering"));
    const Result<QByteArray> styles = optionalPart(QStringLiteral("styles"));
    if (!numbering || !styles)
        return failure(numbering ? styles.error() : numbering.error());
    Result<ListDefinitions> lists =
        parseNumbering(index.parts.value(QStringLiteral("numbering")), *numbering);
    if (lists)
        lists = parseStyles(index.parts.value(QStringLiteral("styles")), *styles, std::move(*lists));
    if (!lists)
        return failure(lists.error());
    index.lists = std::move(*lists);
    return index;
}

// The footnotes' and then the endnotes' lines.
Result<QStringList> readNotes(const MemoryZip& zip, const PackageIndex& index, qint64 limit)
{
    QStringList lines;
    for (const QString& story :
         {index.parts.value(QStringLiteral("footnotes")), index.parts.value(QStringLiteral("endnotes"))}) {
        if (story.isEmpty() || !zip.contains(story))
            continue;
        const Pump pump = [&](const std::function<bool(QByteArrayView)>& sink) {
            return zip.read(story, limit, sink);
        };
        Result<QStringList> storyLines = readStory(story, pump, index.lists);
        if (!storyLines)
            return failure(storyLines.error());
        lines += *storyLines;
    }
    return lines;
}

}  // namespace

Result<QString> readDocxText(QByteArray package, const DocxLimits& limits)
{
    Result<MemoryZip> zip = MemoryZip::open(std::move(package));
    if (!zip)
        return failure(QStringLiteral("文件已损坏，不是有效的 Word 文档压缩包。"));
    const qint64 limit = limits.maxPartSize;
    const Result<PackageIndex> index = indexPackage(*zip, limit);
    if (!index)
        return failure(index.error());
    const Pump pump = [&](const std::function<bool(QByteArrayView)>& sink) {
        return zip->read(index->main, limit, sink);
    };
    Result<QStringList> lines = readStory(index->main, pump, index->lists);
    if (!lines)
        return failure(lines.error());
    const Result<QStringList> notes = readNotes(*zip, *index, limit);
    if (!notes)
        return failure(notes.error());
    return (*lines + *notes).join(u'\n');
}

Result<TracedDocx> traceDocx(const MemoryZip& zip, const TokenObserver& observer, const DocxLimits& limits)
{
    const qint64 limit = limits.maxPartSize;
    const Result<PackageIndex> index = indexPackage(zip, limit);
    if (!index)
        return failure(index.error());
    const Result<QByteArray> bytes = zip.readAll(index->main, limit);
    if (!bytes)
        return failure(bytes.error());
    TracedDocx traced;
    traced.mainPart = index->main;
    traced.parts = index->parts;
    traced.byteOrderMark = bytes->startsWith("\xEF\xBB\xBF");
    // The positions count the XML as decoded, the mark left out.
    const QByteArrayView xml = QByteArrayView(*bytes).sliced(traced.byteOrderMark ? 3 : 0);
    QStringDecoder utf8(QStringDecoder::Utf8);
    traced.xml = utf8(xml);
    if (utf8.hasError())
        return failure(QStringLiteral("%1 不是 UTF-8 编码的 XML。").arg(index->main));
    const StoryTrace trace{observer, traced.sources, traced.xml};
    Result<QStringList> lines = readStory(index->main, wholePump(xml), index->lists, &trace);
    if (!lines)
        return failure(lines.error());
    const Result<QStringList> notes = readNotes(zip, *index, limit);
    if (!notes)
        return failure(notes.error());
    traced.bodyLength = lines->join(u'\n').size();
    traced.text = (*lines + *notes).join(u'\n');
    return traced;
}

qsizetype tokenEnd(const QXmlStreamReader& reader, QStringView xml, qsizetype tokenStart)
{
    if (!reader.isCharacters())
        return reader.characterOffset();
    // The reader has looked at the character after the text already.
    if (reader.isCDATA()) {
        const qsizetype end = xml.indexOf(u"]]>", tokenStart);
        return end < 0 ? xml.size() : end + 3;
    }
    const qsizetype end = xml.indexOf(u'<', tokenStart);
    return end < 0 ? xml.size() : end;
}

Result<QString> readWordprocessingXml(QByteArrayView document, QByteArrayView numbering,
                                      QByteArrayView styles)
{
    Result<ListDefinitions> lists = parseNumbering(QStringLiteral("numbering.xml"), numbering);
    if (lists)
        lists = parseStyles(QStringLiteral("styles.xml"), styles, std::move(*lists));
    if (!lists)
        return failure(lists.error());
    const Result<QStringList> lines = readStory(QStringLiteral("document.xml"), wholePump(document), *lists);
    if (!lines)
        return failure(lines.error());
    return lines->join(u'\n');
}

}  // namespace documents
