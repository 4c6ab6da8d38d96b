// The main window's re-check of a reworked paper: the earlier check's
// unchanged pieces carried over after an analysis, the new pieces pre-checked
// against what the web showed for the pieces they replace, and List1's popup,
// which sends one piece again or shows what a piece still shares.

#include "mainwindow/ui/form1.h"

#include "analysis/earlierversion.h"
#include "analysis/precheck.h"
#include "analysis/query.h"
#include "analysis/segmentation.h"
#include "platform/core/markcolours.h"
#include "platform/core/numberformat.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/sidebysideview.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QVBoxLayout>

#include <tuple>

void Form1::createList1Popup()
{
    List1Popup = new QMenu(this);
    List1Popup->setObjectName(QStringLiteral("List1Popup"));
    cxdb = List1Popup->addAction(QStringLiteral("重新对比此句"));
    cxdb->setObjectName(QStringLiteral("cxdb"));
    List1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(List1, &QListWidget::customContextMenuRequested, this, &Form1::List1_ContextMenu);
    ckxt = List1Popup->addAction(QStringLiteral("查看相同之处"));
    ckxt->setObjectName(QStringLiteral("ckxt"));
    connect(cxdb, &QAction::triggered, this, &Form1::cxdb_Click);
    connect(ckxt, &QAction::triggered, this, &Form1::ckxt_Click);
}

// After an analysis that found no check of this very text: the earlier
// check of the paper, if one covers at least half of it, is offered.
void Form1::offerEarlierVersion()
{
    const std::optional<EarlierVersion> earlier =
        earlierversion::find(savedcheck::folderIn(dataFolder), session.analysedText, selectedEngineName());
    if (!earlier || earlier->checkedKept() == 0)
        return;
    if (dialogs::message(this, earlierversion::question(*earlier), QString(), dialogs::Icon::Question,
                         dialogs::Buttons::YesNo)
        != dialogs::Answer::Yes)
        return;

    earlierversion::carryOver(*earlier, session);
    // Offline, before anything is sent: nothing is queried or counted here.
    preChecked = precheck::run(*earlier);
    skipCheckedPieces = true;
    showSentences();
    Label2->setText(earlierversion::overallLabel(session));
    Label2->show();
    Label1->setText(precheck::carriedOverText(*earlier, preChecked));
    // The new text's check holds the carried results from now on.
    saveCheck(earlier->toCompare() == 0);
}

void Form1::showSentences()
{
    List1->clear();
    fillList1(segmentation::listItems(session.sentences));
    for (int row = 0; row < List1->count(); ++row)
        colourListItem(row);
}

void Form1::List1_ContextMenu(const QPoint& pos)
{
    const QListWidgetItem* item = List1->itemAt(pos);
    if (!item)
        return;
    popupRow = List1->row(item);
    cxdb->setEnabled(!session.autoRunning);
    ckxt->setEnabled(stillSimilar(popupRow) != nullptr);
    List1Popup->popup(List1->viewport()->mapToGlobal(pos));
}

// The piece is sent on its own; the run's place stays where it was, and the
// page that comes back replaces the piece's figure (scoring::pageArrived).
void Form1::cxdb_Click()
{
    const int row = popupRow;
    if (session.autoRunning || row < 0 || row >= session.sentences.size()
        || isSkippedQuery(buildQuery(session.sentences[row])))
        return;
    const std::pair<qint32, qint32> resume{session.nextIndex, session.lastIndex};
    const bool firstPick = session.suppressListClick;
    session.suppressListClick = false;
    session.nextIndex = row;
    // Set before sending: the page may arrive while the piece is coloured.
    recheckResume = resume;
    if (compare(CompareMode::Again))
        return;
    recheckResume.reset();
    std::tie(session.nextIndex, session.lastIndex) = resume;
    session.suppressListClick = firstPick;
}

void Form1::resumeAfterRecheck()
{
    std::tie(session.nextIndex, session.lastIndex) = *recheckResume;
    recheckResume.reset();
}

const precheck::Finding* Form1::stillSimilar(int row) const
{
    if (row < 0 || row >= preChecked.pieces.size() || !preChecked.pieces[row])
        return nullptr;
    return &*preChecked.pieces[row];
}

namespace {

std::vector<SpanMark> marksOf(const std::vector<matching::SharedRun>& runs, bool inPiece)
{
    std::vector<SpanMark> marks;
    for (const matching::SharedRun& run : runs) {
        const matching::Span span = inPiece ? run.a : run.b;
        marks.push_back({span.start, span.length, QColor(QRgb(markcolour::kReworded))});
    }
    return marks;
}

}  // namespace

void Form1::ckxt_Click()
{
    const precheck::Finding* finding = stillSimilar(popupRow);
    if (!finding || popupRow >= session.sentences.size())
        return;
    if (!sameTextWindow) {
        sameTextWindow = new QDialog(this);
        sameTextWindow->setObjectName(QStringLiteral("sameTextWindow"));
        sameTextWindow->setWindowTitle(QStringLiteral("查看相同之处"));
        auto* layout = new QVBoxLayout(sameTextWindow);
        layout->addWidget(new SideBySideView(sameTextWindow));
        sameTextWindow->resize(760, 360);
    }
    const QString& piece = session.sentences[popupRow];
    const qsizetype longest = finding->runs[size_t(finding->longest)].characters;
    const SidePane left{QStringLiteral("第 ") + numfmt::format(qint64(popupRow) + 1)
                            + QStringLiteral(" 句（连续相同 ") + numfmt::format(qint64(longest))
                            + QStringLiteral(" 字）"),
                        piece, marksOf(finding->runs, true)};
    const SidePane right{QStringLiteral("上次网上找到的内容：") + finding->title, finding->summary,
                         marksOf(finding->runs, false)};
    sameTextWindow->findChild<SideBySideView*>()->showPanes(left, right);
    sameTextWindow->show();
    sameTextWindow->raise();
    sameTextWindow->activateWindow();
}
