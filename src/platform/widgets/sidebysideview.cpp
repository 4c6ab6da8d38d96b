#include "platform/widgets/sidebysideview.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTextBlock>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// The text as the pane holds it, one break per line (a CR LF is one
// position there), and where each position of the given text lands.
QString shownText(const QString& text, std::vector<int>& documentPosition)
{
    QString shown;
    shown.reserve(text.size());
    documentPosition.assign(static_cast<size_t>(text.size()) + 1, 0);
    for (qsizetype i = 0; i < text.size(); ++i) {
        documentPosition[static_cast<size_t>(i)] = static_cast<int>(shown.size());
        if (text[i] == u'\r') {
            shown += u'\n';
            if (i + 1 < text.size() && text[i + 1] == u'\n')
                documentPosition[static_cast<size_t>(++i)] = static_cast<int>(shown.size()) - 1;
        } else {
            shown += text[i];
        }
    }
    documentPosition.back() = static_cast<int>(shown.size());
    return shown;
}

QTextCharFormat markFormat(const QColor& colour)
{
    QTextCharFormat format;
    format.setForeground(colour);
    format.setFontUnderline(true);
    format.setUnderlineColor(colour);
    return format;
}

QWidget* paneColumn(QLabel* caption, QPlainTextEdit* pane, QWidget* parent)
{
    auto* column = new QWidget(parent);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(caption);
    layout->addWidget(pane, 1);
    return column;
}

}  // namespace

SideBySideView::SideBySideView(QWidget* parent) : QWidget(parent)
{
    leftCaption = new QLabel(this);
    rightCaption = new QLabel(this);
    for (QLabel* caption : {leftCaption, rightCaption}) {
        caption->setWordWrap(true);
        caption->setTextFormat(Qt::PlainText);
    }
    left = new QPlainTextEdit(this);
    right = new QPlainTextEdit(this);
    for (QPlainTextEdit* pane : {left, right}) {
        pane->setReadOnly(true);
        pane->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    }
    previous = new QPushButton(QStringLiteral(u"上一处"), this);
    next = new QPushButton(QStringLiteral(u"下一处"), this);
    place = new QLabel(this);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(paneColumn(leftCaption, left, splitter));
    splitter->addWidget(paneColumn(rightCaption, right, splitter));
    splitter->setChildrenCollapsible(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(previous);
    buttons->addWidget(place);
    buttons->addWidget(next);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter, 1);
    layout->addLayout(buttons);

    connect(previous, &QPushButton::clicked, this, [this] { showPlace(current_ - 1); });
    connect(next, &QPushButton::clicked, this, [this] { showPlace(current_ + 1); });
    updateButtons();
}

void SideBySideView::showPanes(const SidePane& leftPane, const SidePane& rightPane)
{
    place_ = {};
    count_ = 0;
    current_ = -1;
    fill(Side::Left, leftPane);
    fill(Side::Right, rightPane);
    updateButtons();
}

void SideBySideView::showPlaces(int count, std::function<Place(int)> placeAt, int current)
{
    place_ = std::move(placeAt);
    count_ = std::max(count, 0);
    current_ = -1;
    if (count_ == 0 || !place_) {
        clear();
        return;
    }
    showPlace(std::clamp(current, 0, count_ - 1));
}

void SideBySideView::showPlace(int index)
{
    if (index < 0 || index >= count_ || !place_)
        return;
    current_ = index;
    const Place panes = place_(index);
    fill(Side::Left, panes.first);
    fill(Side::Right, panes.second);
    updateButtons();
    emit placeShown(index);
}

void SideBySideView::clear()
{
    place_ = {};
    count_ = 0;
    current_ = -1;
    fill(Side::Left, {});
    fill(Side::Right, {});
    updateButtons();
}

void SideBySideView::fill(Side side, const SidePane& pane)
{
    const bool isLeft = side == Side::Left;
    QPlainTextEdit* editor = isLeft ? left : right;
    (isLeft ? leftCaption : rightCaption)->setText(pane.caption);
    shown_[isLeft ? 0 : 1].text = pane.text;
    std::vector<int>& positions = shown_[isLeft ? 0 : 1].documentPosition;
    editor->setPlainText(shownText(pane.text, positions));

    QList<QTextEdit::ExtraSelection> selections;
    int first = -1;
    for (const SpanMark& mark : pane.marks) {
        const qsizetype from = std::clamp<qsizetype>(mark.start, 0, pane.text.size());
        const qsizetype to = std::clamp<qsizetype>(mark.start + mark.length, from, pane.text.size());
        if (from == to)
            continue;
        QTextEdit::ExtraSelection selection;
        selection.cursor = QTextCursor(editor->document());
        selection.cursor.setPosition(positions[static_cast<size_t>(from)]);
        selection.cursor.setPosition(positions[static_cast<size_t>(to)], QTextCursor::KeepAnchor);
        selection.format = markFormat(mark.colour);
        selections.append(selection);
        if (first < 0 || positions[static_cast<size_t>(from)] < first)
            first = positions[static_cast<size_t>(from)];
    }
    editor->setExtraSelections(selections);
    QTextCursor caret(editor->document());
    caret.setPosition(std::max(first, 0));
    editor->setTextCursor(caret);
    scrollToFirstMarks();
}

void SideBySideView::scrollToFirstMarks()
{
    scrollWhenShown_ = !isVisible();
    left->centerCursor();
    right->centerCursor();
}

void SideBySideView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (scrollWhenShown_)
        QTimer::singleShot(0, this, [this] {
            if (isVisible())
                scrollToFirstMarks();
        });
}

void SideBySideView::updateButtons()
{
    const bool several = count_ > 1;
    previous->setVisible(several);
    next->setVisible(several);
    place->setVisible(several);
    previous->setEnabled(current_ > 0);
    next->setEnabled(current_ >= 0 && current_ + 1 < count_);
    place->setText(several ? QStringLiteral(u"第 %1 处，共 %2 处").arg(current_ + 1).arg(count_) : QString());
}

QColor SideBySideView::markAt(Side side, qsizetype position) const
{
    const bool isLeft = side == Side::Left;
    const std::vector<int>& positions = shown_[isLeft ? 0 : 1].documentPosition;
    if (position < 0 || static_cast<size_t>(position) + 1 >= positions.size())
        return {};
    const int at = positions[static_cast<size_t>(position)];
    const QList<QTextEdit::ExtraSelection> selections = (isLeft ? left : right)->extraSelections();
    // The last one drawn wins where marks overlap.
    for (auto it = selections.rbegin(); it != selections.rend(); ++it) {
        if (at >= it->cursor.selectionStart() && at < it->cursor.selectionEnd())
            return it->format.foreground().color();
    }
    return {};
}
