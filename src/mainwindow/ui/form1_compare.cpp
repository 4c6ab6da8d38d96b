// The main window's online comparison: sending sentences to the search
// service, scoring the pages that come back, automatic runs and the
// similar-website statistics.

#include "mainwindow/ui/form1.h"

#include "analysis/pausing.h"
#include "analysis/pieceresult.h"
#include "analysis/query.h"
#include "analysis/savedcheck.h"
#include "analysis/scoring.h"
#include "analysis/sitestats.h"
#include "analysis/verification.h"
#include "platform/browser/browserview.h"
#include "platform/core/markcolours.h"
#include "platform/core/numberformat.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "platform/widgets/twips.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QTimer>

#include <array>
#include <utility>

namespace {

// The control states only change when a handler runs; a slow refresh on top of
// the refresh after each such handler keeps the program idle at rest.
constexpr int kStateRefreshMs = 200;
constexpr int kAutoStepMs = 1000;
constexpr int kBusyPollMs = 20;

const QColor kRed(255, 0, 0);
const QColor kBlack(0, 0, 0);

SearchEngine selectedEngine(const Form1& f)
{
    if (f.zhiwang->isChecked())
        return SearchEngine::Zhiwang;
    if (f.longyuan->isChecked())
        return SearchEngine::Longyuan;
    if (f.wenku->isChecked())
        return SearchEngine::Wenku;
    return SearchEngine::Baidu;
}

// The engine menu's item as the saved check names it, and back.
const std::array<std::pair<const char*, QAction * Form1::*>, 4> kEngineItems = {{
    {"baidu", &Form1::baidu},
    {"wenku", &Form1::wenku},
    {"longyuan", &Form1::longyuan},
    {"zhiwang", &Form1::zhiwang},
}};

QString engineName(const Form1& f)
{
    for (const auto& [name, item] : kEngineItems)
        if ((f.*item)->isChecked())
            return QString::fromLatin1(name);
    return QStringLiteral("baidu");
}

int windowWidthTwips(const QWidget* window) { return twips::outerSize(window).width(); }

void showComparingLayout(Form1& f)
{
    const int width = windowWidthTwips(&f);
    twips::setHeight(f.RichTextBox1, 2400);
    twips::setWidth(f.RichTextBox1, width - 1605);
    f.RichTextBox1->setSelColor(kBlack);
    twips::setHeight(f.List1, 2400);
    twips::setLeft(f.List1, width - 1500);
    twips::setWidth(f.List1, 1100);
    f.List1->show();
}

void showFullEditor(Form1& f)
{
    twips::setHeight(f.RichTextBox1, 6225);
    twips::setWidth(f.RichTextBox1, 10140);
    f.List1->hide();
}

void informUser(Form1& f, const QString& text)
{
    dialogs::message(&f, text, QString(), dialogs::Icon::Information, dialogs::Buttons::Ok);
}

}  // namespace

void Form1::connectCompareHandlers()
{
    connect(Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form1::Command5_Click);
    connect(Command6, &QPushButton::clicked, this, &Form1::Command6_Click);
    for (QAction* engine : {baidu, wenku, longyuan, zhiwang})
        connect(engine, &QAction::triggered, this, [this, engine] { engine_Click(engine); });
    connect(List1, &QListWidget::itemClicked, this, &Form1::List1_Click);
    connect(List1, &QListWidget::currentRowChanged, this, &Form1::List1_CurrentRowChanged);
    connect(WebBrowser1, &BrowserView::downloadBegin, this, &Form1::WebBrowser1_DownloadBegin);
    connect(WebBrowser1, &BrowserView::downloadComplete, this, &Form1::WebBrowser1_DownloadComplete);

    connect(&checkKeeper, &CheckKeeper::failed, this, &Form1::checkNotSaved);
    connect(&Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    connect(&Timer2, &QTimer::timeout, this, &Form1::Timer2_Timer);
    Timer1.start(kStateRefreshMs);
    Timer2.start(kAutoStepMs);
}

// --- Compare -------------------------------------------------------------------

void Form1::Command2_Click() { compare(CompareMode::Next); }

bool Form1::compare(CompareMode mode)
{
    session.pageCounted = false;
    session.recheckPiece = mode == CompareMode::Again ? std::optional(session.nextIndex) : std::nullopt;
    if (mode != CompareMode::Again)
        recheckResume.reset();
    // The piece a verification page interrupted is sent again now, and its page scored.
    pausedForVerification = false;
    // Compare changes button states (step 3 enables Command5); refresh them at once.
    const auto refreshStates = qScopeGuard([self = QPointer<Form1>(this)] {
        if (self)
            self->Timer1_Timer();
    });
    session.pageHtml.clear();
    session.pageMarked.clear();
    session.pageText.clear();
    WebBrowser1->writeDocument(QString());

    if (session.suppressListClick && List1->count() > 0) {
        // The first compare after an analysis starts from the top, like a first pick.
        selectListRow(0);
        List1->setToolTip(session.sentences.value(0));
        session.nextIndex = 0;
        session.suppressListClick = false;
    }
    if (mode == CompareMode::Next && skipCheckedPieces)
        while (session.nextIndex >= 0 && session.nextIndex < session.pieces.size()
               && session.pieces[session.nextIndex].checked)
            ++session.nextIndex;
    Label2->show();
    Command5->setEnabled(true);
    showComparingLayout(*this);
    session.resultsPending = true;

    if (RichTextBox1->text().isEmpty()) {
        informUser(*this, QStringLiteral("请先输入关键字"));
        session.autoRunning = false;
        showFullEditor(*this);
        return false;
    }
    if (session.nextIndex < 0 || session.nextIndex >= session.sentences.size()) {
        informUser(*this, QStringLiteral("本次对比结束！"));
        Command4_Click();
        saveCheck(true);
        return false;
    }

    const QString sentence = session.sentences.at(session.nextIndex);
    const QString query = buildQuery(sentence);
    if (isSkippedQuery(query)) {
        if (session.lastIndex != session.nextIndex) {
            session.lastIndex = session.nextIndex;
            ++session.nextIndex;
        }
        return false;
    }
    if (const auto url = searchUrl(selectedEngine(*this), query, endpoints))
        session.searchUrl = *url;
    if (!session.searchUrl.isEmpty()) {
        // A new query's page is scored even when its text equals the last
        // page's (the same piece twice in a row); otherwise a run would retry
        // it for ever. Repeated arrivals of one page are still scored once.
        session.lastPageText.clear();
        WebBrowser1->navigate(QUrl(session.searchUrl));
    }
    WebBrowser1->show();
    if (!session.autoRunning)
        Label1->setText(QStringLiteral("现在正在对比第 ") + numfmt::format(qint64(session.nextIndex) + 1)
                        + QStringLiteral(" 句！共 ") + numfmt::format(qint64(session.sentences.size()))
                        + QStringLiteral(" 句。"));

    // Advance before colouring: the colouring lets events run, and a page that
    // arrives meanwhile belongs to this sentence (nextIndex - 1).
    session.lastIndex = session.nextIndex;
    ++session.nextIndex;
    selectListRow(session.lastIndex);
    if (!session.analysedText.isEmpty())
        colourSentence(sentence);
    return true;
}

// Colours every occurrence of the sentence red; the last one stays selected.
void Form1::colourSentence(const QString& sentence)
{
    if (sentence.isEmpty())
        return;
    const QString text = RichTextBox1->text();
    QPointer<Form1> self(this);
    for (qsizetype at = text.indexOf(sentence); at >= 0; at = text.indexOf(sentence, at + sentence.size())) {
        RichTextBox1->setSelStart(int(at));
        RichTextBox1->setSelLength(int(sentence.size()));
        RichTextBox1->setSelColor(kRed);
        QCoreApplication::processEvents();
        if (!self)
            return;
    }
}

void Form1::engine_Click(QAction* item)
{
    for (QAction* engine : {baidu, wenku, longyuan, zhiwang})
        engine->setChecked(engine == item);
}

// --- automatic runs ---------------------------------------------------------------

void Form1::Command3_Click()
{
    checkSaveWarned = false;
    session.autoRunning = true;
    Timer1_Timer();
    Command2_Click();
}

void Form1::Command4_Click()
{
    session.autoRunning = false;
    Command3->show();
    Command4->hide();
    Command5->setEnabled(true);
    Timer1_Timer();
}

void Form1::Timer1_Timer()
{
    const bool running = session.autoRunning;
    for (QWidget* w : std::initializer_list<QWidget*>{Command1, Command2, List1})
        w->setEnabled(!running);
    if (running)
        Command5->setEnabled(false);
    Command4->setVisible(running);
    for (QPushButton* b : {Command3, Command5, Command6})
        b->show();
    wjcd->menuAction()->setEnabled(true);
    yinqing->menuAction()->setEnabled(true);
    duibiqi->setEnabled(true);
}

// Lets events run until the result browser is idle. A page that never comes
// is given up after pageWaitLimitMs, so that the run can retry it. False when
// the window is gone or the application is quitting.
bool Form1::waitForIdleBrowser()
{
    QPointer<Form1> self(this);
    QCoreApplication::processEvents();
    QElapsedTimer waited;
    waited.start();
    while (self && WebBrowser1->busy()) {
        if (waited.elapsed() > pageWaitLimitMs) {
            WebBrowser1->stop();
            break;
        }
        QEventLoop loop;
        bool woken = false;
        const auto wake = [&] {
            woken = true;
            loop.quit();
        };
        QTimer::singleShot(kBusyPollMs, &loop, wake);
        connect(WebBrowser1, &BrowserView::downloadComplete, &loop, wake);
        loop.exec();
        if (!woken)
            return false;  // the application is quitting: every event loop is told to end
    }
    return bool(self);
}

void Form1::Timer2_Timer()
{
    // A tick still waiting for the browser (or for the closing message of the
    // run) is not entered a second time.
    if (timer2Ticking)
        return;
    timer2Ticking = true;
    QPointer<Form1> self(this);
    const bool idle = waitForIdleBrowser();
    if (!self)
        return;
    if (idle && session.autoRunning) {
        if (session.pageHtml.isEmpty() || session.pageMarked.isEmpty() || session.pageText.isEmpty()) {
            session.nextIndex = session.lastIndex;
            // A retry takes back the failed query's page only if it was counted:
            // a page that never arrived (dropped, cut short, given up) took
            // nothing, and taking one back would inflate the overall similarity.
            if (session.pageCounted)
                session.pageCount = std::max<qint32>(session.pageCount - 1, 1);
            Label1->setText(QStringLiteral("网络不给力，正在重新对比第 ")
                            + numfmt::format(qint64(session.nextIndex)) + QStringLiteral(" 句"));
            compare(CompareMode::Exactly);
        } else {
            Label1->setText(scoring::progressText(session));
            Command2_Click();
        }
    }
    if (self)
        timer2Ticking = false;
}

void Form1::selectListRow(int row)
{
    const QScopedValueRollback<bool> byProgram(selectingListRow, true);
    List1->setCurrentRow(row);
}

// A pick with the keyboard is the user's pick too. A mouse pick arrives as
// itemClicked once the button is released, and the program's own picks go
// through selectListRow.
void Form1::List1_CurrentRowChanged(int row)
{
    if (row >= 0 && !selectingListRow && List1->hasFocus() && QGuiApplication::mouseButtons() == Qt::NoButton)
        List1_Click();
}

void Form1::List1_Click()
{
    const int row = List1->currentRow();
    const QListWidgetItem* item = List1->currentItem();
    if (row >= 0 && item && item->isSelected()) {
        List1->setToolTip(session.sentences.value(row));
        session.nextIndex = row;
        if (!session.suppressListClick)
            compare(CompareMode::Exactly);
    }
    session.suppressListClick = false;
}

void Form1::Command6_Click()
{
    if (openComparer)
        openComparer();
}

// --- page arrival -------------------------------------------------------------------

void Form1::WebBrowser1_DownloadBegin() { WebBrowser1->setSilent(true); }

void Form1::WebBrowser1_DownloadComplete()
{
    if (WebBrowser1->busy()) {
        WebBrowser1->setSilent(true);
        return;
    }
    // The statistics page is ours, not a result page: scoring it would count
    // it as a page and lower the overall similarity.
    if (WebBrowser1->url() == QUrl(endpoints.statisticsPageUrl())) {
        WebBrowser1->setSilent(true);
        return;
    }
    // A verification page is no result page: scored, it would count 0 % for
    // the piece. While the check is paused for one, any page that arrives
    // (the service's results once the user passed it) would be taken for the
    // piece before, so none is scored until Compare sends the piece again.
    if (pausedForVerification
        || verification::isVerificationPage(WebBrowser1->pageUrl(), WebBrowser1->pageTitle(),
                                            WebBrowser1->bodyText())) {
        if (!pausedForVerification)
            pauseForVerification();
        WebBrowser1->setSilent(true);
        return;
    }
    const auto labels = scoring::pageArrived(session, WebBrowser1->bodyHtml(), WebBrowser1->bodyText());
    if (labels) {
        if (labels->label2)
            Label2->setText(*labels->label2);
        Label1->setText(labels->label1);
        if (labels->label2) {
            // Links such as Baidu's own "/sf/vsearch?…" are made absolute, so
            // that the report can offer them.
            if (const qsizetype s = qsizetype(session.nextIndex) - 1; s >= 0 && s < session.pieces.size())
                for (ResultLink& link : session.pieces[s].results)
                    if (!link.url.isEmpty())
                        link.url = WebBrowser1->pageUrl().resolved(QUrl(link.url)).toString();
            colourListItem(session.nextIndex - 1);
            if (recheckResume && !session.recheckPiece)
                resumeAfterRecheck();
            saveCheck(false);
        }
    }
    WebBrowser1->setSilent(true);
}

// Stops the check where the verification page came in, so that the user can
// pass it in the result browser and go on from the piece it interrupted.
void Form1::pauseForVerification()
{
    pausedForVerification = true;
    // The page answered the query of the piece sent last (scoring's nextIndex - 1).
    session.nextIndex = std::max<qint32>(session.nextIndex - 1, 0);
    Command4_Click();
    WebBrowser1->show();
    Label1->setText(
        QStringLiteral("搜索引擎要求安全验证，对比已暂停：请在下方页面完成验证后，点击“启动自动对比”从第 ")
        + numfmt::format(qint64(session.nextIndex) + 1) + QStringLiteral(" 句继续。"));
}

void Form1::colourListItem(int row)
{
    QListWidgetItem* item = List1->item(row);
    if (!item || row < 0 || row >= session.pieces.size())
        return;
    if (!session.pieces[row].checked) {
        // Violet until checked: a rewrite that still shares a run with what the web showed.
        if (stillSimilar(row))
            item->setData(Qt::ForegroundRole, QColor(QRgb(markcolour::kReworded)));
        return;
    }
    const auto colour = similarityband::colourFor(session.pieces[row].figure);
    item->setData(Qt::ForegroundRole, colour ? QVariant(QColor(QRgb(*colour))) : QVariant());
}

// Kept after every scored page, so that closing the program loses at most
// the page in flight. A check that cannot be kept does not stop the run;
// Label1 says so once per run.
void Form1::saveCheck(bool finished)
{
    if (session.sentences.isEmpty() || session.analysedText.isEmpty())
        return;
    // A piece looked at again after the end leaves the check finished: it is
    // not a check to be offered for continuing.
    // A re-check that compares only what changed is done once every piece is.
    const bool allChecked = skipCheckedPieces
        && std::all_of(session.pieces.begin(), session.pieces.end(),
                       [](const PieceResult& p) { return p.checked; });
    checkReachedEnd = checkReachedEnd || finished || allChecked;
    SavedCheck check = savedcheck::fromSession(session, Label2->text(), engineName(*this), checkReachedEnd);
    check.paperText = RichTextBox1->text();  // its lines: where the report finds the reference list
    checkKeeper.keep(std::move(check), savedcheck::folderIn(dataFolder));
}

void Form1::checkNotSaved(const QString& reason)
{
    if (checkSaveWarned)
        return;
    checkSaveWarned = true;
    Label1->setText(QStringLiteral("检测结果无法保存（") + reason
                    + QStringLiteral("），对比照常进行，但关闭程序后将不能继续本次检测。"));
}

// The end of an analysis: a paper whose check was stopped before its end is
// offered to be continued where it stood.
void Form1::offerSavedCheck()
{
    checkSaveWarned = false;
    checkReachedEnd = false;
    pausedForVerification = false;
    skipCheckedPieces = false;
    preChecked = {};
    if (sameTextWindow)
        sameTextWindow->close();  // it showed a piece of the list just replaced
    recheckResume.reset();
    if (session.analysedText.isEmpty())
        return;
    checkKeeper.waitUntilWritten();  // this window's last check is on disk
    // A file cut short, garbage, of another version or for another text is no
    // check of this paper: nothing is asked.
    const Result<SavedCheck> saved =
        savedcheck::readFor(savedcheck::folderIn(dataFolder), session.analysedText);
    if (saved)
        continueSavedCheck(*saved);
    else
        offerEarlierVersion();
}

QString Form1::selectedEngineName() const { return engineName(*this); }

// A check of this very paper: its pieces are the analysis's cut, or the kept
// cut of a re-check, which the list then shows instead.
void Form1::continueSavedCheck(const SavedCheck& saved)
{
    const qint64 checked = saved.checkedCount();
    if (saved.finished || checked == 0)
        return;
    const QString total = numfmt::format(qint64(saved.sentences.size()));
    const QString question = QStringLiteral("这篇论文上次检测到第 ") + numfmt::format(checked)
        + QStringLiteral(" 句（共 ") + total + QStringLiteral(" 句），是否继续上次的检测？");
    if (dialogs::message(this, question, QString(), dialogs::Icon::Question, dialogs::Buttons::YesNo)
        != dialogs::Answer::Yes)
        return;

    const bool keptCut = saved.sentences != session.sentences;
    session.sentences = saved.sentences;
    savedcheck::restoreInto(saved, session);
    // A re-check's run skips the pieces it carried over; so does one continued.
    skipCheckedPieces = keptCut
        || std::any_of(session.pieces.begin() + std::min<qsizetype>(session.nextIndex, session.pieces.size()),
                       session.pieces.end(), [](const PieceResult& p) { return p.checked; });
    showSentences();
    for (const auto& [name, item] : kEngineItems)
        if (saved.engine == QLatin1String(name) && (this->*item)->isEnabled())
            engine_Click(this->*item);
    Label2->setText(saved.label2);
    Label2->show();
    Label1->setText(QStringLiteral("已恢复上次的检测：已对比 ") + numfmt::format(checked)
                    + QStringLiteral(" 句，共 ") + total + QStringLiteral(" 句。"));
}

// --- site statistics ------------------------------------------------------------------

void Form1::Command5_Click()
{
    // The page is not blanked by a document write first: that would abort the
    // navigation; the statistics page replaces the document anyway.
    WebBrowser1->navigate(QUrl(endpoints.statisticsPageUrl()));
    Command5->setEnabled(false);
    Command5->setText(QStringLiteral("正在统计中……"));
    if (session.resultsPending)
        siteTotal = sitestats::rebuild(session);

    QPointer<Form1> self(this);
    pauseSeconds(statisticsPauseSeconds);
    if (!self)
        return;

    // One paste of the whole table: pasted piece by piece, an open <table>
    // would be closed by the browser before its rows arrive.
    QString table = sitestats::tableHead();
    for (const sitestats::Row& row : sitestats::shownRows(session, siteTotal))
        table += sitestats::tableRow(row);
    table += sitestats::tableTail();
    WebBrowser1->pasteHtml(table);

    session.resultsPending = false;
    Command5->setEnabled(true);
    Command5->setText(QStringLiteral("统计相似性网站"));
}
