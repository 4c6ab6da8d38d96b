// Form1: controls, menus, start-up, exit, analysis, layout and the Edit menu.

#include "mainwindow/ui/form1.h"

#include "analysis/segmentation.h"
#include "mainwindow/ui/singleinstance.h"
#include "platform/browser/browserview.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/editmenu.h"
#include "platform/widgets/richeditor.h"
#include "platform/widgets/twips.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <tuple>

namespace {

const QString kSongTi = QStringLiteral("宋体");
constexpr int kKeySpace = 32;

// Design client area, below the menu bar.
constexpr int kDesignWidth = 10425;
constexpr int kDesignHeight = 7290;

const QString kHowTo =
    QStringLiteral("使用方法：\n"
                   "1. 把论文粘贴到这里（先删除这段说明），或用“文件—打开”打开 .doc、.txt、.rtf 文件。\n"
                   "2. 点击“进行分析”，论文会被切分成短句，列在右侧。\n"
                   "3. 点击“手动对比”逐句对比，或点击“启动自动对比”每秒对比一句。\n"
                   "4. 对比后点击“统计相似性网站”，查看与论文相似的网站排名。\n"
                   "5. “对比器”可以不联网，把论文与参考文献逐句比对。");

// "宋体" is rarely installed off Windows. Without it every line is shaped
// through font fallback, which is slow on long papers and may pick a font
// without Chinese glyphs first; an installed Chinese font stands in for it.
void substituteSongTi()
{
    const QStringList installed = QFontDatabase::families();
    if (installed.contains(kSongTi) || installed.contains(QStringLiteral("SimSun")))
        return;
    const QStringList standIns = {
        QStringLiteral("Noto Serif CJK SC"),   QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("WenQuanYi Zen Hei"),
        QStringLiteral("AR PL UMing CN"),      QStringLiteral("Droid Sans Fallback"),
    };
    for (const QString& family : standIns) {
        if (installed.contains(family)) {
            QFont::insertSubstitution(kSongTi, family);
            return;
        }
    }
}

// Ends the whole process: no other window is asked, nothing is saved. Inside
// the event loop, leaving it lets the browser engine shut down cleanly.
void quitProgram()
{
    if (QThread::currentThread()->loopLevel() > 0) {
        QCoreApplication::exit(0);
        return;
    }
    std::fflush(nullptr);
    std::_Exit(0);
}

}  // namespace

Form1::Form1(const Endpoints& endpoints, QWidget* parent) : QMainWindow(parent), endpoints(endpoints)
{
    endProgram = quitProgram;
    getProcessList = singleinstance::processList;
    executableName = singleinstance::executableName();
    openInBrowser = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    dataFolder = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);

    static const bool songTiSubstituted = (substituteSongTi(), true);
    Q_UNUSED(songTiSubstituted);
    setWindowTitle(QStringLiteral("Trovalis"));
    createControls();
    createMenus();
    resize(twips::toPixels(kDesignWidth), twips::toPixels(kDesignHeight) + menuBar()->sizeHint().height());
    connectHandlers();
    connectCompareHandlers();
    connectDocumentHandlers();
    createList1Popup();
}

// The base class destroys the controls only after this object's members are
// gone; a control that signals while it dies (a browser aborting its load)
// must not reach a handler of this half-destroyed window.
Form1::~Form1()
{
    Timer1.stop();
    Timer2.stop();
    for (QObject* child : findChildren<QObject*>())
        child->blockSignals(true);
}

// --- controls ---------------------------------------------------------------

void Form1::createControls()
{
    auto* client = new QWidget(this);
    setCentralWidget(client);

    // Creation order is stacking order: the labels lie behind everything,
    // the result browser behind the editor and the list, Command4 over Command3.
    createLabels(client);

    Text1 = new QPlainTextEdit(client);
    twips::setGeometry(Text1, 5760, 6390, 1815, 690);
    Text1->hide();

    WebBrowser1 = new BrowserView(client, BrowserView::Profile::Kept);
    twips::setGeometry(WebBrowser1, 90, 1125, 10140, 5100);
    WebBrowser2 = new BrowserView(client);
    twips::setGeometry(WebBrowser2, 9570, 6750, 690, 510);

    RichTextBox1 = new RichEditor(client);
    twips::setGeometry(RichTextBox1, 90, 0, 10140, 6225);
    RichTextBox1->setText(kHowTo);

    List1 = new QListWidget(client);
    twips::setGeometry(List1, 9180, 45, 1095, 2760);
    List1->setUniformItemSizes(true);  // keeps filling tens of thousands of items fast
    List1->hide();

    createButtons(client);
}

void Form1::createLabels(QWidget* client)
{
    QFont labelFont(kSongTi);
    labelFont.setPointSizeF(10.5);
    auto makeLabel = [&](const QString& text, const QColor& color) {
        auto* label = new QLabel(text, client);
        label->setFont(labelFont);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, color);
        label->setPalette(palette);
        return label;
    };
    Label1 = makeLabel(QStringLiteral("请点击“分析”开始解析论文！"), Qt::red);
    twips::setGeometry(Label1, 225, 6345, 8385, 420);
    Label2 = makeLabel(QString(), Qt::blue);
    twips::setGeometry(Label2, 5175, 6390, 4605, 780);
}

void Form1::createButtons(QWidget* client)
{
    auto makeButton = [&](const QString& caption, int left, int top, int width, int height) {
        auto* button = new QPushButton(caption, client);
        button->setAutoDefault(false);
        twips::setGeometry(button, left, top, width, height);
        return button;
    };
    Command1 = makeButton(QStringLiteral("进行分析"), 270, 6750, 2130, 420);
    Command2 = makeButton(QStringLiteral("手动对比"), 2970, 6750, 2130, 420);
    Command3 = makeButton(QStringLiteral("启动自动对比"), 8145, 6750, 2130, 420);
    Command4 = makeButton(QStringLiteral("停止自动对比！"), 7875, 5670, 2130, 420);
    Command4->hide();
    Command5 = makeButton(QStringLiteral("统计相似性网站"), 8145, 6345, 1545, 285);
    Command6 = makeButton(QStringLiteral("对比"), 9690, 6360, 510, 285);
}

void Form1::createMenus()
{
    auto item = [](QMenu* menu, const char* name, const QString& caption) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        return action;
    };
    wjcd = menuBar()->addMenu(QStringLiteral("文件"));
    wjcd->setObjectName(QStringLiteral("wjcd"));
    xinjian = item(wjcd, "xinjian", QStringLiteral("新建"));
    dakai = item(wjcd, "dakai", QStringLiteral("打开"));
    baocun = item(wjcd, "baocun", QStringLiteral("保存"));
    wjcd->addSeparator();
    tuichu = item(wjcd, "tuichu", QStringLiteral("退出"));

    yjcd = menuBar()->addMenu(QStringLiteral("编辑"));
    yjcd->setObjectName(QStringLiteral("yjcd"));
    const editmenu::Actions edit = editmenu::addEditActions(
        yjcd, [this] { return RichTextBox1; }, editmenu::Shortcuts::None);
    std::tie(cx, jq, fz, nt, sc, qx) = std::tie(edit.cx, edit.jq, edit.fz, edit.nt, edit.sc, edit.qx);

    yinqing = menuBar()->addMenu(QStringLiteral("引擎选择"));
    yinqing->setObjectName(QStringLiteral("yinqing"));
    baidu = item(yinqing, "baidu", QStringLiteral("百度引擎"));
    wenku = item(yinqing, "wenku", QStringLiteral("百度文库"));
    longyuan = item(yinqing, "longyuan", QStringLiteral("龙源期刊"));
    zhiwang = item(yinqing, "zhiwang", QStringLiteral("中国知网"));
    for (QAction* engine : {baidu, wenku, longyuan, zhiwang})
        engine->setCheckable(true);
    longyuan->setEnabled(false);  // present, never enabled

    duibiqi = menuBar()->addAction(QStringLiteral("对比器"));
    duibiqi->setObjectName(QStringLiteral("duibiqi"));
    gengxin = menuBar()->addAction(QStringLiteral("获取更新"));
    gengxin->setObjectName(QStringLiteral("gengxin"));
    createReportMenu();  // at the end of the bar
}

void Form1::connectHandlers()
{
    connect(Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(tuichu, &QAction::triggered, this, &Form1::tuichu_Click);
    connect(duibiqi, &QAction::triggered, this, [this] {
        if (openComparer)
            openComparer();
    });
    connect(gengxin, &QAction::triggered, this, [this] {
        if (openUpdateWindow)
            openUpdateWindow();
    });
    connect(RichTextBox1, &RichEditor::keyUp, this, &Form1::RichTextBox1_KeyUp);
    connect(RichTextBox1, &RichEditor::mouseDown, this, &Form1::RichTextBox1_MouseDown);
    connect(WebBrowser1, &BrowserView::newWindowRequested, this, &Form1::Web_V1_NewWindow);
}

// --- start-up and shutdown ----------------------------------------------------

void Form1::formLoad()
{
    if (instanceServerName.isEmpty())
        instanceServerName = singleinstance::defaultServerName();
    restoreRunningCopy();
    setWindowTitle(version::caption());

    WebBrowser1->navigate(QUrl(QStringLiteral("about:blank")));
    WebBrowser1->hide();
    twips::setGeometry(WebBrowser2, 9570, 6750, 0, 0);
    WebBrowser2->navigate(QUrl(endpoints.startupRequestUrl()));

    for (QPushButton* button : {Command1, Command2, Command3, Command5, Command6})
        button->show();
    Command4->hide();
    for (QAction* action : menuBar()->actions())
        action->setEnabled(true);
    longyuan->setEnabled(false);
    baidu->setChecked(true);
    for (QAction* engine : {wenku, longyuan, zhiwang})
        engine->setChecked(false);

    session.suppressListClick = true;
    if (openUpdateWindow)
        openUpdateWindow();
    upl = 1;

    // From now on a newer copy can ask this one to show its window.
    restoreServer = new singleinstance::RestoreServer(this, this);
    restoreServer->listen(instanceServerName);
}

// A second copy still opens its own window; it only brings the first one back.
void Form1::restoreRunningCopy()
{
    if (!getProcessList)
        return;
    if (singleinstance::countCopies(getProcessList(), executableName) > 1)
        singleinstance::askToRestore(instanceServerName);
}

void Form1::tuichu_Click()
{
    const auto answer = dialogs::message(this, QStringLiteral("谢谢使用！访问我的网站吗？"), QString(),
                                         dialogs::Icon::None, dialogs::Buttons::YesNo);
    if (answer != dialogs::Answer::No && !openInBrowser(QUrl(endpoints.exitPageUrl())))
        dialogs::message(this, QStringLiteral("调用浏览器错误！"), QStringLiteral("错误："),
                         dialogs::Icon::Critical);
    endProgram();
}

void Form1::closeEvent(QCloseEvent* event)
{
    event->accept();
    endProgram();
}

void Form1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (shownOnce)
        return;
    shownOnce = true;
    if (const QScreen* shown = screen()) {
        const QRect available = shown->availableGeometry();
        const QSize outer = frameGeometry().size();
        move(available.x() + (available.width() - outer.width()) / 2,
             available.y() + (available.height() - outer.height()) / 2);
    }
}

void Form1::Web_V1_NewWindow(const QUrl& url, bool* processed)
{
    *processed = true;
    if (loadInComparer)
        loadInComparer(url);
}

// --- analysis -------------------------------------------------------------------

void Form1::Command1_Click()
{
    Label2->hide();
    resetEditorFormatting();
    List1->clear();
    const segmentation::Analysis analysis = segmentation::analyse(RichTextBox1->text());
    Label1->setText(analysis.summary);
    segmentation::resetSession(session, analysis);
    RichTextBox1->setSelStart(0);
    fillList1(analysis.listItems);
    offerSavedCheck();
}

// The paper again as plain text in 宋体 size 10, with no colour left from a
// comparison. Replacing the text drops all formatting, so the new text takes
// the document's default font. Setting that font while the editor is empty
// spares a second layout of a long paper (each costs about 0.3 s per million
// characters). The text is held in a string rather than in the work field
// Text1, whose plain-text round trip would alter it (no-break spaces).
void Form1::resetEditorFormatting()
{
    const QString text = RichTextBox1->text();
    RichTextBox1->setText(QString());
    QFont songTi(kSongTi);
    songTi.setPointSizeF(10);
    RichTextBox1->document()->setDefaultFont(songTi);
    RichTextBox1->setText(text);
}

void Form1::fillList1(const QStringList& items)
{
    List1->setUpdatesEnabled(false);
    List1->addItems(items);
    List1->setUpdatesEnabled(true);
}

// --- layout -------------------------------------------------------------------------

void Form1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

// Measured on the outer window size; a negative width or height is not applied.
void Form1::Form_Resize()
{
    const QSize outer = twips::outerSize(this);
    const int H = outer.height();
    const int W = outer.width();

    twips::setHeight(WebBrowser1, H - 2890);
    twips::setWidth(WebBrowser1, W - 525);
    if (!session.analysedText.isEmpty()) {
        twips::setHeight(RichTextBox1, 2400);
        twips::setWidth(RichTextBox1, W - 1905);
    } else {
        twips::setHeight(RichTextBox1, H - 1890);
        twips::setWidth(RichTextBox1, W - 525);
    }
    for (QWidget* label : {Label1, Label2})
        twips::setTop(label, H - 1700);
    for (QWidget* button : {Command1, Command2, Command3, Command4})
        twips::setTop(button, H - 1400);
    for (QWidget* button : {Command5, Command6})
        twips::setTop(button, H - 1720);
    for (QWidget* button : {Command3, Command4, Command5})
        twips::setLeft(button, W - 2500);
    twips::setLeft(Command6, W - 900);
    twips::setLeft(List1, W - 1800);
    twips::setWidth(List1, 1400);
}

// --- Edit menu --------------------------------------------------------------------

void Form1::qx_Click() { editmenu::selectAll(RichTextBox1); }
void Form1::fz_Click() { editmenu::copy(RichTextBox1); }
void Form1::jq_Click() { editmenu::cut(RichTextBox1); }
void Form1::nt_Click() { editmenu::paste(RichTextBox1); }
void Form1::sc_Click() { editmenu::remove(RichTextBox1); }
void Form1::cx_Click() { editmenu::undo(RichTextBox1); }

void Form1::RichTextBox1_KeyUp(int key)
{
    if (key == kKeySpace)
        RichTextBox1->setSelFontName(kSongTi);
}

void Form1::RichTextBox1_MouseDown(Qt::MouseButtons buttons, const QPoint& pos)
{
    if (buttons & Qt::RightButton)
        yjcd->popup(RichTextBox1->mapToGlobal(pos));
}
