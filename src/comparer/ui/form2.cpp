#include "comparer/ui/form2.h"

#include "comparer/core/runlength.h"
#include "comparer/core/thesauruspage.h"
#include "comparer/ui/librarywindow.h"
#include "comparer/ui/papercolouring.h"
#include "documents/editorfiles/richeditorfiles.h"
#include "platform/browser/browserview.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/editmenu.h"
#include "platform/widgets/richeditor.h"
#include "platform/widgets/twips.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <future>
#include <tuple>
#include <vector>

namespace {

const QColor kBlack(0, 0, 0);

// The client area of the design, in twips.
constexpr int kDesignWidth = 9240;
constexpr int kDesignHeight = 7200;

void letEventsThrough() { QCoreApplication::processEvents(); }

// A yield point passed thousands of times (per thesaurus line, per record):
// events go through at most every 30 ms, which keeps the window responsive
// without the yields costing more than the work between them.
std::function<void()> eventPump()
{
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    return [clock] {
        if (clock->elapsed() >= 30) {
            letEventsThrough();
            clock->restart();
        }
    };
}

// The search runs on a worker thread; the window repaints and takes input
// meanwhile. Both texts are copies, so nothing the user does touches them.
comparer::CompareResult searchLettingEventsThrough(const QString& paper, const QString& reference)
{
    auto search = std::async(std::launch::async,
                             [paper, reference] { return comparer::compareAndMark(paper, reference); });
    while (search.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        letEventsThrough();
    return search.get();
}

}  // namespace

Form2::Form2(const Endpoints& endpointsIn, std::function<QString()> mainPaper, QWidget* parent)
    : QWidget(parent), programFolder(QCoreApplication::applicationDirPath()),
      dataFolder(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)),
      saveRichText(saveDocument), endpoints(endpointsIn), mainPaper_(std::move(mainPaper))
{
    setWindowTitle(QStringLiteral(u"Trovalis-对比器"));
    setAttribute(Qt::WA_QuitOnClose, false);  // the main window decides when the program ends
    resize(twips::toPixels(kDesignWidth), twips::toPixels(kDesignHeight));
    createControls();
    createMenu();
}

Form2::~Form2() = default;

void Form2::createControls()
{
    const QFont songti9(QStringLiteral(u"宋体"), 9);
    RichTextBox1 = new RichEditor(this);
    RichTextBox1->setFont(songti9);
    twips::setGeometry(RichTextBox1, 90, 90, 4470, 6270);
    RichTextBox2 = new RichEditor(this);
    RichTextBox2->setFont(songti9);
    twips::setGeometry(RichTextBox2, 4680, 90, 4470, 6270);

    Label1 = new QLabel(this);
    QFont labelFont(QStringLiteral(u"宋体"));
    labelFont.setPointSizeF(10.5);
    Label1->setFont(labelFont);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    twips::setGeometry(Label1, 180, 6435, 6090, 645);
    // The design height clips the report's third line with the fonts at hand.
    Label1->resize(Label1->width(), std::max(Label1->height(), 3 * Label1->fontMetrics().lineSpacing()));

    Check1 = new QCheckBox(QStringLiteral(u"累计标注"), this);
    twips::setGeometry(Check1, 6480, 6390, 1050, 240);
    Command1 = new QPushButton(QStringLiteral(u"对比并标注"), this);
    twips::setGeometry(Command1, 6240, 6675, 1380, 465);
    Command2 = new QPushButton(QStringLiteral(u"自动翻改"), this);
    twips::setGeometry(Command2, 7695, 6690, 870, 465);
    Command3 = new QPushButton(QStringLiteral(u"下载词库"), this);
    twips::setGeometry(Command3, 8640, 6690, 525, 465);
    // Right of 累计标注, between the editors and the buttons below: Label1's
    // third line (the library's runs) reaches under the button row, so nothing
    // of ours may stand over the label.
    Command4 = new QPushButton(QStringLiteral(u"文献库对比"), this);
    twips::setGeometry(Command4, 7620, 6375, 1545, 285);
    libraryWindow = new LibraryWindow(this);

    // The two browsers are never seen: 15 x 15 twips, not moved by the layout.
    WebBrowser1 = new BrowserView(this, BrowserView::Profile::Kept);
    twips::setGeometry(WebBrowser1, 3825, 6300, 15, 15);
    WebBrowser2 = new BrowserView(this, BrowserView::Profile::Kept);
    twips::setGeometry(WebBrowser2, 7785, 6750, 15, 15);

    connect(Command1, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &Form2::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &Form2::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form2::Command4_Click);
    connect(libraryWindow, &LibraryWindow::sourceClicked, this, &Form2::libraryWindow_SourceClicked);
    connect(libraryWindow, &LibraryWindow::passageClicked, this, &Form2::libraryWindow_PassageClicked);
    connect(libraryWindow, &LibraryWindow::runLengthChanged, this, &Form2::libraryWindow_RunLengthChanged);
    connect(RichTextBox1, &RichEditor::mouseDown, this, &Form2::RichTextBox1_MouseDown);
    for (RichEditor* editor : {RichTextBox1, RichTextBox2})
        connect(editor, &RichEditor::fileDropped, this,
                [this, editor](const QString& path) { RichTextBox_FileDropped(editor, path); });
    connect(WebBrowser1, &BrowserView::downloadBegin, this, &Form2::WebBrowser1_DownloadBegin);
    connect(WebBrowser1, &BrowserView::downloadComplete, this, &Form2::WebBrowser1_DownloadComplete);
}

void Form2::createMenu()
{
    yjcd = new QMenu(QStringLiteral(u"菜单"), this);
    const auto item = [this](const QString& caption, const QKeySequence& keys, void (Form2::*handler)()) {
        QAction* action = yjcd->addAction(caption);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    baocun = item(QStringLiteral(u"保存"), QKeySequence(Qt::CTRL | Qt::Key_S), &Form2::baocun_Click);
    const editmenu::Actions edit = editmenu::addEditActions(
        yjcd, [this] { return RichTextBox1; }, editmenu::Shortcuts::Standard);
    std::tie(cx, jq, fz, nt, sc, qx) = std::tie(edit.cx, edit.jq, edit.fz, edit.nt, edit.sc, edit.qx);
    // The editor handles the other keys itself; Ctrl+S saves while the menu is closed.
    addAction(baocun);
}

// --- loading, closing, layout ---

void Form2::open()
{
    ensureLoaded();
    show();
    raise();
    activateWindow();
}

void Form2::loadPage(const QUrl& url)
{
    ensureLoaded();
    WebBrowser1->navigate(url);
}

void Form2::ensureLoaded()
{
    if (!loaded_)
        Form_Load();
}

void Form2::Form_Load()
{
    loaded_ = true;
    // Every control back to its design content, as a freshly created window has it.
    RichTextBox2->setText(QStringLiteral(u"对比的文字"));
    Label1->clear();
    Check1->setChecked(false);
    RichTextBox1->setText(mainPaper_ ? mainPaper_() : QString());
    runLength_ = comparer::library::keptRunLength(dataFolder);  // the library's N as last chosen
    libraryWindow->setRunLength(runLength_);
}

void Form2::closeEvent(QCloseEvent* event)
{
    loaded_ = false;
    event->accept();
}

void Form2::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Form2::Form_Resize()
{
    const QSize outer = twips::outerSize(this);
    layoutForOuterSize(outer.width(), outer.height());
}

void Form2::layoutForOuterSize(int w, int h)
{
    const int halfWidth = w / 2 - 300;
    twips::setHeight(RichTextBox1, h - 1600);
    twips::setWidth(RichTextBox1, halfWidth);
    twips::setLeft(RichTextBox2, twips::geometry(RichTextBox1).width() + 300);
    twips::setHeight(RichTextBox2, h - 1600);
    twips::setWidth(RichTextBox2, halfWidth);
    twips::setTop(Label1, h - 1400);
    twips::setTop(Command1, h - 1100);
    twips::setLeft(Command1, w - 3300);
    twips::setTop(Command2, h - 1100);
    twips::setLeft(Command2, w - 1800);
    twips::setTop(Command3, h - 1100);
    twips::setLeft(Command3, w - 800);
    twips::setTop(Check1, h - 1350);
    twips::setLeft(Check1, w - 2500);
    twips::setTop(Command4, h - 1400);
    twips::setLeft(Command4, w - 1440);
    twips::setWidth(Command4, 1165);
}

// --- compare and mark ---

void Form2::Command1_Click()
{
    if (comparing_)
        return;  // a click while events go through: the run under way goes on
    comparing_ = true;
    // The paper holds still while events go through, so that the marks stay
    // where they were found and no typing slips into the run's undo step.
    RichTextBox1->setReadOnly(true);
    const QString paper = RichTextBox1->text();
    const comparer::CompareResult result = searchLettingEventsThrough(paper, RichTextBox2->text());
    totals += result.run;
    markOccurrences(result, !Check1->isChecked());
    RichTextBox1->setReadOnly(false);
    comparing_ = false;

    const comparer::CompareCounts& shown = Check1->isChecked() ? totals : result.run;
    const QString report = comparer::compareReport(RichTextBox1->text().size(), RichTextBox2->text().size(),
                                                   shown, result.run.chars);
    if (!report.isEmpty())
        Label1->setText(report);
}

void Form2::markOccurrences(const comparer::CompareResult& result, bool resetMarks)
{
    std::vector<PaperMark> marks;
    const comparer::SentenceMarks* last = nullptr;
    qsizetype lastStart = 0;
    for (const comparer::SentenceMarks& sentence : result.sentences) {
        for (const qsizetype start : sentence.starts) {
            marks.push_back({RichTextBox1->documentPosition(static_cast<int>(start)),
                             RichTextBox1->documentPosition(static_cast<int>(start + sentence.length)),
                             {}});
            last = &sentence;
            lastStart = start;
        }
    }
    colourPaper(RichTextBox1->document(), std::move(marks), resetMarks, letEventsThrough);
    letEventsThrough();  // the last layout has just taken its time; the selection can wait

    // The selection ends on the last mark, or, when the old marks were reset
    // and nothing was found, on the whole paper.
    if (last) {
        RichTextBox1->setSelStart(static_cast<int>(lastStart));
        RichTextBox1->setSelLength(static_cast<int>(last->length));
    } else if (resetMarks) {
        RichTextBox1->setSelStart(0);
        RichTextBox1->setSelLength(static_cast<int>(RichTextBox1->text().size()));
        if (RichTextBox1->document()->isEmpty())
            RichTextBox1->setSelColor(kBlack);  // an empty paper: the colour typed next
    }
}

// --- thesaurus rewrite ---

QString Form2::thesaurusPath() const { return QDir(programFolder).filePath(QStringLiteral("ciku.txt")); }

void Form2::Command2_Click()
{
    const Result<comparer::Thesaurus> thesaurus = comparer::readThesaurus(thesaurusPath(), eventPump());
    if (!thesaurus) {
        dialogs::message(this, QStringLiteral(u"词库文件无法读取：") + thesaurus.error(), {},
                         dialogs::Icon::Warning);
        return;
    }
    switch (thesaurus->state) {
    case comparer::Thesaurus::State::Read:
        break;
    case comparer::Thesaurus::State::Missing:
        dialogs::message(this, QStringLiteral(u"题库不存在，请下载最新题库！"));
        return;
    case comparer::Thesaurus::State::Damaged:
        dialogs::message(this, QStringLiteral(u"词库文件已损坏，请重新下载词库！"), {},
                         dialogs::Icon::Warning);
        return;
    }
    const QStringList& lines = thesaurus->lines;
    if (lines.isEmpty())
        return;  // nothing to exchange: both editors stay as they are
    const comparer::RewriteResult result = comparer::rewriteText(RichTextBox1->text(), lines, random);
    Label1->setText(QStringLiteral(u"正在查找替换第") + QString::number(result.found)
                    + QStringLiteral(u"个词语请耐心等待！"));
    RichTextBox2->setText(result.text);
}

// --- thesaurus download ---

void Form2::Command3_Click()
{
    if (downloading_)
        return;  // one download at a time; the first is still waiting for its page
    if (dialogs::message(this, QStringLiteral(u"词库已经准备完毕，确认下载？"), {}, dialogs::Icon::Question,
                         dialogs::Buttons::YesNo)
        != dialogs::Answer::Yes)
        return;
    downloading_ = true;
    const bool arrived = fetchThesaurusPage();
    downloading_ = false;

    const Result<QStringList> records = arrived ? comparer::thesaurusRecords(WebBrowser2->bodyHtml())
                                                : Result<QStringList>(failure(QStringLiteral("no page")));
    if (!records) {
        Label1->setText(QStringLiteral(u"网络连接失败，词库下载不成功！"));
        return;
    }
    if (const Result<void> written = comparer::writeThesaurusFile(thesaurusPath(), *records, eventPump());
        !written) {
        Label1->setText(QStringLiteral(u"词库保存失败：") + written.error());
        return;
    }
    Label1->setText(QStringLiteral(u"词库下载成功！"));
}

// Navigates the fetcher and waits until the page has arrived (or the time-out).
bool Form2::fetchThesaurusPage()
{
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    bool arrived = false;
    connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(WebBrowser2, &BrowserView::downloadComplete, &loop, [&] {
        if (!WebBrowser2->busy()) {
            // A page cut short must not replace the thesaurus with its first part.
            arrived = WebBrowser2->loadSucceeded();
            loop.quit();
        }
    });
    WebBrowser2->navigate(QUrl(endpoints.thesaurusPageUrl()));
    timeout.start(pageTimeoutMs);
    loop.exec();
    return arrived;
}

// --- popup menu ---

void Form2::RichTextBox1_MouseDown(Qt::MouseButtons buttons, const QPoint& pos)
{
    if (buttons & Qt::RightButton)
        yjcd->popup(RichTextBox1->mapToGlobal(pos));
}

void Form2::qx_Click() { editmenu::selectAll(RichTextBox1); }
void Form2::fz_Click() { editmenu::copy(RichTextBox1); }
void Form2::nt_Click() { editmenu::paste(RichTextBox1); }
void Form2::jq_Click() { editmenu::cut(RichTextBox1); }
void Form2::sc_Click() { editmenu::remove(RichTextBox1); }
void Form2::cx_Click() { editmenu::undo(RichTextBox1); }

void Form2::baocun_Click()
{
    const QString fileName =
        dialogs::saveFileName(this, QStringLiteral(u"请输入文件名"),
                              QStringLiteral(u"WORD文档(*.doc);;文本文件(*.txt);;写字板文件(*.rtf)"));
    if (fileName.isEmpty())
        return;  // cancelled: nothing is saved
    RichTextBox1->setSelColor(kBlack);
    const Result<void> saved = saveRichText(RichTextBox1, fileName);
    if (!saved)
        dialogs::message(this, QStringLiteral(u"保存失败：") + saved.error(), {}, dialogs::Icon::Critical);
}

// A paper or a cited text dropped from the file manager: its text, without
// formatting, replaces the editor's; a file that cannot be read leaves it.
void Form2::RichTextBox_FileDropped(RichEditor* editor, const QString& path)
{
    const Result<QString> loaded = loadDocumentText(editor, path);
    if (!loaded)
        dialogs::message(this, loaded.error(), {}, dialogs::Icon::Warning);
    else if (!loaded->isEmpty())
        dialogs::message(this, *loaded, {}, dialogs::Icon::Information);
}

// --- page loader ---

void Form2::WebBrowser1_DownloadBegin() { WebBrowser1->setSilent(true); }

void Form2::WebBrowser1_DownloadComplete()
{
    WebBrowser1->setSilent(true);
    if (loaded_ && !WebBrowser1->busy())
        RichTextBox2->setText(WebBrowser1->bodyText());
}
