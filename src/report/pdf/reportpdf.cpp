#include "report/pdf/reportpdf.h"

#include "analysis/pieceresult.h"
#include "report/core/reportfile.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextLayout>

#include <memory>
#include <vector>

namespace report {
namespace {

// Lengths are in the writer's device units: QPdfWriter's own 1200 dots an inch.
constexpr int kDpi = 1200;
constexpr double pt(double points) { return points * kDpi / 72.0; }
constexpr double mm(double millimetres) { return millimetres * kDpi / 25.4; }

const QColor kRuleText(0x44, 0x44, 0x44);
const QColor kNumber(0x66, 0x66, 0x66);
const QColor kBorder(0x99, 0x99, 0x99);
const QColor kLink(0x00, 0x00, 0xee);

QColor rgb(quint32 value) { return QColor::fromRgb(value); }

QColor toneColour(Tone tone)
{
    switch (tone) {
    case Tone::Plain:
        return Qt::black;
    case Tone::High:
    case Tone::Evidence:
        return rgb(similarityband::kHighColour);
    case Tone::Medium:
        return rgb(similarityband::kMediumColour);
    case Tone::Unchecked:
        return QColor(0x88, 0x88, 0x88);
    case Tone::Host:
        return QColor(0x00, 0x66, 0x00);
    }
    return Qt::black;
}

// Text as it can be laid out on a line: control characters become spaces,
// a lone surrogate the replacement character, and the characters that
// override the direction of what follows are dropped, so that a result's
// title cannot turn the rest of its paragraph around.
QString drawable(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        const char16_t u = ch.unicode();
        if (ch.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += ch;
            out += text[++i];
        } else if (ch.isSurrogate()) {
            out += QChar(QChar::ReplacementCharacter);
        } else if (u < 0x20 || (u >= 0x7f && u < 0xa0) || u == 0x2028 || u == 0x2029) {
            out += u' ';
        } else if ((u >= 0x202a && u <= 0x202e) || (u >= 0x2066 && u <= 0x2069)) {
            continue;
        } else {
            out += ch;
        }
    }
    return out;
}

// The link's address as the PDF writes it, inside a string in parentheses.
QString pdfHref(QString href)
{
    return href.replace(u'\\', QStringLiteral("%5C"))
        .replace(u'(', QStringLiteral("%28"))
        .replace(u')', QStringLiteral("%29"));
}

// How a block looks: type size in points, weight, colour, spacing.
struct Look {
    double size = 11;
    bool bold = false;
    QColor colour = Qt::black;
    Qt::Alignment alignment = Qt::AlignLeft;
    double before = 0;      // points
    double after = 6;       // points
    double leading = 0.45;  // space between lines, in ems
};

Look lookOf(const Block& block)
{
    Look look;
    switch (block.kind) {
    case Block::Kind::Title:
        look.size = 20;
        look.bold = true;
        look.alignment = Qt::AlignHCenter;
        look.after = 10;
        return look;
    case Block::Kind::Heading:
        look.size = 14;
        look.bold = true;
        look.before = 10;
        look.after = 6;
        return look;
    case Block::Kind::Table:
    case Block::Kind::List:
        look.size = 10;
        look.leading = 0.25;
        look.after = 6;
        return look;
    case Block::Kind::Paragraph:
        break;
    }
    switch (block.style) {
    case Block::Style::Figure:
        look.size = 14;
        look.bold = true;
        break;
    case Block::Style::Rule:
        look.size = 9.5;
        look.colour = kRuleText;
        break;
    case Block::Style::Piece:
        look.after = 8;
        break;
    case Block::Style::Plain:
    case Block::Style::Paper:
        break;
    }
    return look;
}

// Something drawn on a page, placed relative to the top left of its row.
struct Item {
    const QTextLayout* layout = nullptr;  // a line of it, its top at `at`
    int line = -1;
    QPointF at;
    QRectF box;   // or a cell's border
    QLineF rule;  // or a rule below a heading
};

// What cannot be split across pages: a line, a table's row.
struct Row {
    double height = 0;
    QList<Item> items;
};

struct Prepared {
    QList<Row> rows;
    double before = 0;
    double after = 0;
    bool keepWithNext = false;   // a heading: never the last line of a page
    bool repeatsHeader = false;  // a table: its first row again on each new page
};

struct PlacedItem {
    Item item;
    QPointF origin;  // the row's top left on the page
};

class Writer {
public:
    explicit Writer(QPdfWriter& device) : device_(device)
    {
        base_ = QFont(pdfFontFamily());
        base_.setPointSizeF(11);
        base_.setStyleStrategy(QFont::PreferQuality);
        const QRectF page(QPointF(0, 0), device.pageLayout().fullRectPixels(kDpi).size());
        content_ = page.adjusted(mm(20), mm(22), -mm(20), -mm(20));
        page_ = page;
    }

    void lay(const CheckReportModel& model)
    {
        std::vector<Prepared> blocks;
        for (const Section& section : model.sections)
            for (const Block& block : section.blocks)
                blocks.push_back(prepare(block));
        paginate(blocks);
    }

    bool draw(const CheckReportModel& model, const PdfProgress& progress)
    {
        QPainter painter;
        if (!painter.begin(&device_))
            return false;
        const int count = int(pages_.size());
        for (int p = 0; p < count; ++p) {
            if (p > 0 && !device_.newPage())
                return false;
            drawFrame(painter, model, p + 1, count);
            for (const PlacedItem& placed : pages_[p])
                drawItem(painter, placed);
            if (progress)
                progress(p + 1, count);
        }
        return painter.end();
    }

    int pageCount() const { return int(pages_.size()); }

private:
    QFont fontOf(const Look& look) const
    {
        QFont font = base_;
        font.setPointSizeF(look.size);
        font.setBold(look.bold);
        return font;
    }

    QTextCharFormat formatOf(const Run& run, const Look& look) const
    {
        QTextCharFormat f;
        if (run.tone != Tone::Plain)
            f.setForeground(toneColour(run.tone));
        else if (look.colour != Qt::black)
            f.setForeground(look.colour);
        if (run.tone == Tone::Unchecked)
            f.setBackground(QColor(0xee, 0xee, 0xee));
        if (run.small)
            f.setFontPointSize(9.5);
        if (run.kind == Run::Kind::Number) {
            f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
            f.setForeground(kNumber);
        }
        if (run.excluded) {
            f.setFontUnderline(true);
            f.setUnderlineStyle(QTextCharFormat::DotLine);
        }
        if (run.underline) {
            f.setFontUnderline(true);
            f.setUnderlineStyle(QTextCharFormat::SingleUnderline);
        }
        if (!run.href.isEmpty()) {
            f.setAnchor(true);
            f.setAnchorHref(pdfHref(run.href));
            if (run.tone == Tone::Plain)
                f.setForeground(kLink);
        }
        return f;
    }

    // The runs as one laid-out paragraph `width` wide; its lines' tops in `tops`.
    QTextLayout* layOut(const QList<Run>& runs, const Look& look, double width, std::vector<double>& tops,
                        const QString& prefix = {})
    {
        QString text = prefix;
        QList<QTextLayout::FormatRange> formats;
        for (const Run& run : runs) {
            if (run.kind == Run::Kind::Break) {
                text += QChar(QChar::LineSeparator);
                continue;
            }
            const QString shown = drawable(run.text);
            if (shown.isEmpty())
                continue;
            const QTextCharFormat format = formatOf(run, look);
            if (format.propertyCount() > 0)
                formats.append({int(text.size()), int(shown.size()), format});
            text += shown;
        }
        auto layout = std::make_unique<QTextLayout>(text, fontOf(look), &device_);
        QTextOption option(look.alignment);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        option.setTextDirection(Qt::LeftToRight);
        layout->setTextOption(option);
        layout->setFormats(formats);
        layout->setCacheEnabled(true);
        const double gap = pt(look.size) * look.leading;
        double y = 0;
        layout->beginLayout();
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            tops.push_back(y);
            y += line.height() + gap;
        }
        layout->endLayout();
        tops.push_back(y);  // where the next line would begin
        layouts_.push_back(std::move(layout));
        return layouts_.back().get();
    }

    // Each line a row of its own.
    void addLines(Prepared& p, const QList<Run>& runs, const Look& look, double indent = 0,
                  const QString& prefix = {})
    {
        std::vector<double> tops;
        const QTextLayout* layout = layOut(runs, look, content_.width() - indent, tops, prefix);
        for (int i = 0; i + 1 < int(tops.size()); ++i) {
            Row row{tops[i + 1] - tops[i], {}};
            row.items.append({layout, i, QPointF(indent, 0), {}, {}});
            p.rows.append(row);
        }
    }

    Prepared prepare(const Block& block)
    {
        const Look look = lookOf(block);
        Prepared p;
        p.before = pt(look.before);
        p.after = pt(look.after);
        switch (block.kind) {
        case Block::Kind::Title:
        case Block::Kind::Heading:
            addLines(p, block.runs, look);
            p.keepWithNext = true;
            if (block.kind == Block::Kind::Heading && !p.rows.isEmpty()) {
                // The HTML's rule below the heading.
                Row& last = p.rows.last();
                last.height += pt(3);
                last.items.append(
                    {nullptr,
                     -1,
                     {},
                     {},
                     QLineF(0, last.height - pt(1.5), content_.width(), last.height - pt(1.5))});
            }
            break;
        case Block::Kind::Paragraph:
            addLines(p, block.runs, look);
            break;
        case Block::Kind::List:
            for (qsizetype i = 0; i < block.rows.size(); ++i) {
                QList<Run> runs;
                for (const Cell& cell : block.rows[i])
                    runs += cell.runs;
                addLines(p, runs, look, pt(6), QString::number(i + 1) + QStringLiteral(". "));
            }
            break;
        case Block::Kind::Table:
            prepareTable(p, block, look);
            break;
        }
        return p;
    }

    void prepareTable(Prepared& p, const Block& block, const Look& look)
    {
        const qsizetype columns = block.header.size();
        const double padding = pt(3);
        QFont bold = fontOf(look);
        bold.setBold(true);
        const QFontMetricsF boldMetrics(bold, &device_);
        const QFontMetricsF metrics(fontOf(look), &device_);
        // Each column as wide as its widest text; the text columns narrower
        // when that is wider than the page.
        QList<double> widths(columns, 0);
        QList<bool> numeric(columns, true);
        for (qsizetype c = 0; c < columns; ++c)
            widths[c] = boldMetrics.horizontalAdvance(block.header[c]);
        for (const QList<Cell>& row : block.rows)
            for (qsizetype c = 0; c < std::min(columns, row.size()); ++c) {
                QString text;
                for (const Run& run : row[c].runs)
                    text += run.text;
                widths[c] = std::max(widths[c], metrics.horizontalAdvance(drawable(text)));
                numeric[c] = numeric[c] && row[c].number;
            }
        double total = 0;
        double textWidth = 0;
        for (qsizetype c = 0; c < columns; ++c) {
            widths[c] += 2 * padding + pt(1);
            total += widths[c];
            if (!numeric[c])
                textWidth += widths[c];
        }
        if (total > content_.width() && textWidth > 0) {
            const double scale = std::max(0.1, (content_.width() - (total - textWidth)) / textWidth);
            for (qsizetype c = 0; c < columns; ++c)
                if (!numeric[c])
                    widths[c] *= scale;
        }

        const auto addRow = [&](const QList<QList<Run>>& cells, const QList<bool>& right, bool header) {
            Row row;
            QList<std::pair<const QTextLayout*, std::vector<double>>> laid;
            for (qsizetype c = 0; c < columns; ++c) {
                Look cellLook = look;
                cellLook.bold = header;
                cellLook.alignment = right.value(c) ? Qt::AlignRight : Qt::AlignLeft;
                std::vector<double> tops;
                const QTextLayout* layout = layOut(cells.value(c), cellLook, widths[c] - 2 * padding, tops);
                row.height = std::max(row.height, tops.back() + 2 * padding);
                laid.append({layout, std::move(tops)});
            }
            double x = 0;
            for (qsizetype c = 0; c < columns; ++c) {
                const auto& [layout, tops] = laid[c];
                for (int i = 0; i + 1 < int(tops.size()); ++i)
                    row.items.append({layout, i, QPointF(x + padding, padding + tops[i]), {}, {}});
                row.items.append({nullptr, -1, {}, QRectF(x, 0, widths[c], row.height), {}});
                x += widths[c];
            }
            p.rows.append(row);
        };
        QList<QList<Run>> header;
        for (const QString& h : block.header)
            header.append({Run::of(h)});
        addRow(header, {}, true);
        for (const QList<Cell>& row : block.rows) {
            QList<QList<Run>> cells;
            QList<bool> right;
            for (const Cell& cell : row) {
                cells.append(cell.runs);
                right.append(cell.number);
            }
            addRow(cells, right, false);
        }
        p.repeatsHeader = true;
    }

    void newPage()
    {
        pages_.emplace_back();
        y_ = content_.top();
        empty_ = true;
    }

    void place(const Row& row)
    {
        for (const Item& item : row.items)
            pages_.back().push_back({item, QPointF(content_.left(), y_)});
        y_ += row.height;
        empty_ = false;
    }

    bool fits(double height) const { return y_ + height <= content_.bottom(); }

    // What must stand on the page together with a heading above it.
    static double firstRows(const Prepared& p)
    {
        double height = p.before;
        for (qsizetype i = 0; i < std::min<qsizetype>(p.rows.size(), p.repeatsHeader ? 2 : 1); ++i)
            height += p.rows[i].height;
        return height;
    }

    void paginate(const std::vector<Prepared>& blocks)
    {
        newPage();
        for (size_t b = 0; b < blocks.size(); ++b) {
            const Prepared& block = blocks[b];
            if (!empty_)
                y_ += block.before;
            if (block.keepWithNext && !empty_) {
                double together = 0;
                for (const Row& row : block.rows)
                    together += row.height;
                if (b + 1 < blocks.size())
                    together += block.after + firstRows(blocks[b + 1]);
                if (!fits(together))
                    newPage();
            }
            // A paragraph's first line not alone at the foot of a page.
            if (!block.repeatsHeader && block.rows.size() > 1 && !empty_
                && !fits(block.rows[0].height + block.rows[1].height))
                newPage();
            for (qsizetype r = 0; r < block.rows.size(); ++r) {
                if (!empty_ && !fits(block.rows[r].height)) {
                    newPage();
                    if (block.repeatsHeader && r > 0)
                        place(block.rows[0]);
                }
                place(block.rows[r]);
            }
            y_ += block.after;
        }
    }

    void drawFrame(QPainter& painter, const CheckReportModel& model, int page, int pages)
    {
        QFont small = base_;
        small.setPointSizeF(9);
        painter.setFont(small);
        painter.setPen(kRuleText);
        const QFontMetricsF metrics(small, &device_);
        const double headerBase = mm(14);
        const QString date = QStringLiteral("检测时间：") + model.checkedAt;
        const double dateWidth = metrics.horizontalAdvance(date);
        const QString title = metrics.elidedText(drawable(model.paperTitle), Qt::ElideRight,
                                                 content_.width() - dateWidth - pt(12));
        painter.drawText(QPointF(content_.left(), headerBase), title);
        painter.drawText(QPointF(content_.right() - dateWidth, headerBase), date);
        painter.setPen(QPen(kBorder, pt(0.5)));
        painter.drawLine(QPointF(content_.left(), headerBase + pt(4)),
                         QPointF(content_.right(), headerBase + pt(4)));
        painter.setPen(kRuleText);
        const QString footer = QStringLiteral("第 %1 页 / 共 %2 页").arg(page).arg(pages);
        painter.drawText(
            QPointF(page_.center().x() - metrics.horizontalAdvance(footer) / 2, page_.bottom() - mm(10)),
            footer);
    }

    void drawItem(QPainter& painter, const PlacedItem& placed)
    {
        const Item& item = placed.item;
        if (item.layout) {
            // Text without a colour of its own is drawn in the pen's.
            painter.setPen(Qt::black);
            const QTextLine line = item.layout->lineAt(item.line);
            line.draw(&painter, placed.origin + item.at - QPointF(0, line.y()));
        } else if (!item.box.isNull()) {
            painter.setPen(QPen(kBorder, pt(0.5)));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(item.box.translated(placed.origin));
        } else {
            painter.setPen(QPen(kBorder, pt(0.75)));
            painter.drawLine(item.rule.translated(placed.origin));
        }
    }

    QPdfWriter& device_;
    QFont base_;
    QRectF page_;
    QRectF content_;
    std::vector<std::unique_ptr<QTextLayout>> layouts_;
    std::vector<std::vector<PlacedItem>> pages_;
    double y_ = 0;
    bool empty_ = true;
};

}  // namespace

QString pdfFontFamily()
{
    const QStringList installed = QFontDatabase::families();
    for (const QString& family : {QStringLiteral("宋体"), QStringLiteral("SimSun"),
                                  QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Noto Sans CJK SC"),
                                  QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("WenQuanYi Zen Hei"),
                                  QStringLiteral("AR PL UMing CN"), QStringLiteral("Droid Sans Fallback")})
        if (installed.contains(family))
            return family;
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
}

Result<QByteArray> pdfBytes(const CheckReportModel& model, const PdfProgress& progress)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter device(&buffer);
        device.setResolution(kDpi);
        device.setPageLayout(
            QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        device.setTitle(model.paperTitle.isEmpty() ? QStringLiteral("论文相似度检测报告")
                                                   : drawable(model.paperTitle));
        device.setCreator(QStringLiteral("Trovalis"));
        if (progress)
            progress(0, 0);
        Writer writer(device);
        writer.lay(model);
        if (!writer.draw(model, progress))
            return failure(QStringLiteral("生成 PDF 失败。"));
    }
    if (bytes.isEmpty())
        return failure(QStringLiteral("生成 PDF 失败。"));
    return bytes;
}

Result<void> writePdf(const CheckReportModel& model, const QString& path, const PdfProgress& progress)
{
    const Result<QByteArray> bytes = pdfBytes(model, progress);
    if (!bytes)
        return failure(bytes.error());
    return reportfile::write(*bytes, path);
}

}  // namespace report
