// The side-by-side view: marks land on the characters they name whatever the
// line breaks, each pane shows its first mark, and the buttons walk the places.

#include "platform/widgets/sidebysideview.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

namespace {

const QColor kOrange(0xE6, 0x78, 0x00);
const QColor kViolet(0x94, 0x00, 0xD3);

// The colour expected at a position: the last mark over it, by the plain rule.
QColor expectedAt(const SidePane& pane, qsizetype pos)
{
    QColor colour;
    for (const SpanMark& m : pane.marks) {
        if (m.length > 0 && pos >= m.start && pos < m.start + m.length)
            colour = m.colour;
    }
    return colour;
}

SidePane numbered(const QString& caption, int lines, int markedLine)
{
    SidePane pane{caption, {}, {}};
    for (int i = 0; i < lines; ++i) {
        if (i == markedLine)
            pane.marks.push_back({pane.text.size(), 5, kOrange});
        pane.text += QStringLiteral(u"第%1行的文字\r\n").arg(i, 3, 10, QChar(u'0'));
    }
    return pane;
}

bool firstMarkInView(const QPlainTextEdit* pane)
{
    return pane->viewport()->rect().contains(pane->cursorRect().center());
}

}  // namespace

class TestSideBySideView : public QObject {
    Q_OBJECT
private slots:
    void marksFollowTheGivenPositionsWhateverTheLineBreaks()
    {
        SideBySideView view;
        const SidePane left{
            QStringLiteral(u"你的文章"),
            QStringLiteral(u"甲乙丙\r\n丁戊\r己庚\n辛壬癸"),
            {{2, 5, kOrange}, {7, 4, kViolet}, {12, 100, kOrange}, {-3, 4, kViolet}, {5, 0, kViolet}}};
        const SidePane right{QStringLiteral(u"文献"), QStringLiteral(u"\r\n\r\n甲乙丙丁"), {{4, 2, kViolet}}};
        view.showPanes(left, right);
        QCOMPARE(view.leftCaption->text(), left.caption);
        QCOMPARE(view.right->toPlainText(), QStringLiteral(u"\n\n甲乙丙丁"));
        for (qsizetype pos = 0; pos < left.text.size(); ++pos) {
            if (left.text[pos] == u'\n' && pos > 0 && left.text[pos - 1] == u'\r')
                continue;  // the second half of a CR LF is the break the first stands for
            QCOMPARE(view.markAt(SideBySideView::Side::Left, pos), expectedAt(left, pos));
        }
        for (qsizetype pos = 0; pos < right.text.size(); ++pos)
            QCOMPARE(view.markAt(SideBySideView::Side::Right, pos), expectedAt(right, pos));
        QVERIFY(!view.markAt(SideBySideView::Side::Left, left.text.size()).isValid());
        QVERIFY(!view.previous->isVisible() && !view.next->isVisibleTo(&view));
    }

    void eachPaneScrollsToItsFirstMark()
    {
        SideBySideView view;
        view.resize(500, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.showPanes(numbered(QStringLiteral("a"), 300, 250), numbered(QStringLiteral("b"), 300, 3));
        QVERIFY(view.left->verticalScrollBar()->value() > 0);
        QVERIFY(firstMarkInView(view.left));
        QVERIFY(firstMarkInView(view.right));

        // Filled while hidden, as a dialog is before it opens.
        SideBySideView later;
        later.showPanes(numbered(QStringLiteral("a"), 300, 3), numbered(QStringLiteral("b"), 300, 280));
        later.resize(500, 300);
        later.show();
        QVERIFY(QTest::qWaitForWindowExposed(&later));
        QTRY_VERIFY(firstMarkInView(later.right));
        QVERIFY(firstMarkInView(later.left));
    }

    void theButtonsWalkThePlaces()
    {
        SideBySideView view;
        QList<int> asked;
        const auto place = [&](int i) {
            asked << i;
            return SideBySideView::Place{SidePane{QString::number(i), QStringLiteral(u"左%1").arg(i), {}},
                                         SidePane{{}, QStringLiteral(u"右%1").arg(i), {{0, 1, kViolet}}}};
        };
        QSignalSpy shown(&view, &SideBySideView::placeShown);
        view.showPlaces(3, place, 7);  // out of range: the last
        QCOMPARE(view.currentPlace(), 2);
        QCOMPARE(view.place->text(), QStringLiteral(u"第 3 处，共 3 处"));
        QVERIFY(view.previous->isEnabled() && !view.next->isEnabled());
        view.previous->click();
        view.previous->click();
        QVERIFY(!view.previous->isEnabled() && view.next->isEnabled());
        view.previous->click();  // disabled: nothing happens
        QCOMPARE(asked, (QList<int>{2, 1, 0}));
        QCOMPARE(shown.size(), 3);
        QCOMPARE(view.left->toPlainText(), QStringLiteral(u"左0"));
        QCOMPARE(view.markAt(SideBySideView::Side::Right, 0), kViolet);
        view.next->click();
        QCOMPARE(view.leftCaption->text(), QStringLiteral("1"));

        view.showPlaces(1, place);
        QVERIFY(!view.next->isVisibleTo(&view) && !view.place->isVisibleTo(&view));
        view.showPlaces(0, place);
        QVERIFY(view.left->toPlainText().isEmpty() && view.right->toPlainText().isEmpty());
        QCOMPARE(view.currentPlace(), -1);
    }
};

QTEST_MAIN(TestSideBySideView)
#include "test_sidebysideview.moc"
