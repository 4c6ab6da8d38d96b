// The main window through its real controls (offscreen): start-up, exit,
// analysis, layout and the Edit menu.

#include "mainwindow/ui/form1.h"
#include "mainwindow/ui/singleinstance.h"
#include "platform/browser/browserview.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "platform/widgets/twips.h"
#include "support/fixtureserver.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

namespace {

const QString kSongTi = QStringLiteral("宋体");

struct Captured {
    int endProgramCalls = 0;
    QList<QUrl> openedUrls;
    bool browserRefuses = false;
};

// A control that still signals while it is being destroyed.
class SignalsWhileDying : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SignalsWhileDying() override { emit dying(); }
signals:
    void dying();
};

}  // namespace

class TestForm1 : public QObject {
    Q_OBJECT
private:
    // A socket file nobody listens on any more.
    static void leaveStaleSocket(const QString& path)
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray encoded = QFile::encodeName(path);
        std::memcpy(address.sun_path, encoded.constData(), size_t(encoded.size()));
        QVERIFY(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
        ::close(fd);
        QVERIFY(QFile::exists(path));
    }

    FixtureServer server;
    QTemporaryDir socketDir;
    Captured captured;

    Endpoints endpoints() const
    {
        Endpoints e = Endpoints::builtIn();
        e.vendorWebBase = server.base();
        return e;
    }

    // A window whose outside effects are captured; `processList` stands in for
    // the running processes.
    std::unique_ptr<Form1> makeForm(const QString& processList = QStringLiteral("idle\r\nx\r\n"))
    {
        auto form = std::make_unique<Form1>(endpoints());
        form->getProcessList = [processList] { return processList; };
        form->executableName = QStringLiteral("trovalis");
        form->instanceServerName = socketDir.filePath(QStringLiteral("instance"));
        form->endProgram = [this] { ++captured.endProgramCalls; };
        form->openInBrowser = [this](const QUrl& url) {
            captured.openedUrls << url;
            return !captured.browserRefuses;
        };
        return form;
    }

private slots:
    void init()
    {
        captured = {};
        dialogs::reset();
    }

    void startUpState()
    {
        server.serve(QStringLiteral("/trvs/trvs.asp"), QByteArray("<p>ok</p>"));
        auto form = makeForm();
        QVariant uplDuringUpdateWindow = QStringLiteral("not called");
        form->openUpdateWindow = [&] { uplDuringUpdateWindow = form->upl; };
        QVERIFY(form->windowTitle() == QStringLiteral("Trovalis"));
        form->formLoad();
        form->show();

        QCOMPARE(form->windowTitle(), QStringLiteral("Trovalis V2017.3.23"));
        QVERIFY(!uplDuringUpdateWindow.isValid());  // the update window ran before upl was set
        QCOMPARE(form->upl, QVariant(1));
        QVERIFY(form->session.suppressListClick);
        QVERIFY(form->WebBrowser1->isHidden());
        QVERIFY(form->List1->isHidden());
        QCOMPARE(form->WebBrowser2->size(), QSize(0, 0));
        for (QPushButton* b :
             {form->Command1, form->Command2, form->Command3, form->Command5, form->Command6})
            QVERIFY(b->isVisible());
        QVERIFY(form->Command4->isHidden());
        QVERIFY(form->baidu->isChecked());
        for (QAction* engine : {form->wenku, form->longyuan, form->zhiwang})
            QVERIFY(!engine->isChecked());
        QVERIFY(!form->longyuan->isEnabled());
        QCOMPARE(form->Label1->text(), QStringLiteral("请点击“分析”开始解析论文！"));
        QCOMPARE(form->Label1->font().family(), kSongTi);
        QCOMPARE(form->Label1->font().pointSizeF(), 10.5);
        QCOMPARE(form->Label1->palette().color(QPalette::WindowText), QColor(Qt::red));
        QCOMPARE(form->Label2->palette().color(QPalette::WindowText), QColor(Qt::blue));
        QVERIFY(!form->RichTextBox1->text().isEmpty());  // the how-to text

        QTRY_VERIFY_WITH_TIMEOUT(server.requests().contains(QStringLiteral("/trvs/trvs.asp?id=20170323")),
                                 20000);
    }

    void menuBar()
    {
        auto form = makeForm();
        QStringList bar;
        for (QAction* a : form->menuBar()->actions())
            bar << a->text();
        QCOMPARE(
            bar,
            (QStringList{QStringLiteral("文件"), QStringLiteral("编辑"), QStringLiteral("引擎选择"),
                         QStringLiteral("对比器"), QStringLiteral("获取更新"), QStringLiteral("检测报告")}));
        auto captions = [](QMenu* menu) {
            QStringList out;
            for (QAction* a : menu->actions())
                out << (a->isSeparator() ? QStringLiteral("-") : a->text());
            return out;
        };
        QCOMPARE(captions(form->wjcd),
                 (QStringList{QStringLiteral("新建"), QStringLiteral("打开"), QStringLiteral("保存"),
                              QStringLiteral("-"), QStringLiteral("退出")}));
        QCOMPARE(captions(form->yjcd),
                 (QStringList{QStringLiteral("撤销"), QStringLiteral("-"), QStringLiteral("剪切"),
                              QStringLiteral("复制"), QStringLiteral("粘贴"), QStringLiteral("删除"),
                              QStringLiteral("-"), QStringLiteral("全选")}));
        QCOMPARE(captions(form->yinqing),
                 (QStringList{QStringLiteral("百度引擎"), QStringLiteral("百度文库"),
                              QStringLiteral("龙源期刊"), QStringLiteral("中国知网")}));
        const QList<QAction*> all = form->findChildren<QAction*>();
        for (QAction* a : all)
            QVERIFY2(a->shortcut().isEmpty(), qPrintable(a->text()));
        QVERIFY(form->duibiqi->menu() == nullptr && form->gengxin->menu() == nullptr);

        int opened = 0;
        form->openComparer = [&] { ++opened; };
        form->openUpdateWindow = [&] { opened += 10; };
        form->duibiqi->trigger();
        form->gengxin->trigger();
        QCOMPARE(opened, 11);
    }

    void designGeometryAndStacking()
    {
        auto form = makeForm();
        // Design values until the first show lays the window out.
        QCOMPARE(twips::geometry(form->Command1), QRect(270, 6750, 2130, 420));
        QCOMPARE(twips::geometry(form->Command5), QRect(8145, 6345, 1545, 285));
        QCOMPARE(twips::geometry(form->List1), QRect(9180, 45, 1095, 2760));
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCOMPARE(twips::geometry(form->centralWidget()).size(), QSize(10425, 7290));
        const QObjectList order = form->centralWidget()->children();  // back to front
        auto behind = [&](QObject* a, QObject* b) { return order.indexOf(a) < order.indexOf(b); };
        QVERIFY(behind(form->Command3, form->Command4));
        QVERIFY(behind(form->WebBrowser1, form->RichTextBox1));
        QVERIFY(behind(form->WebBrowser1, form->List1));
        for (QObject* label : {form->Label1, form->Label2})
            for (QObject* other : order)
                QVERIFY(other == form->Label1 || other == form->Label2 || behind(label, other));
    }

    void centredOnFirstShow()
    {
        auto form = makeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        const QRect screen = form->screen()->availableGeometry();
        const QRect frame = form->frameGeometry();
        QVERIFY(qAbs(frame.center().x() - screen.center().x()) <= 1);
        QVERIFY(qAbs(frame.center().y() - screen.center().y()) <= 1);
    }

    void copyCounter_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<int>("copies");
        QTest::newRow("first start finds itself")
            << QStringLiteral("swapper/0\r\nsystemd\r\ntrovalis\r\nbash\r\n") << 1;
        QTest::newRow("second copy") << QStringLiteral("swapper/0\r\ntrovalis\r\nbash\r\ntrovalis\r\n") << 2;
        QTest::newRow("entry 0 is never examined") << QStringLiteral("trovalis\r\ntrovalis\r\n") << 1;
        QTest::newRow("exact, case-sensitive")
            << QStringLiteral("idle\r\nTrovalis\r\ntrovalis2\r\n trovalis\r\ntrovalis.exe\r\n") << 0;
        QTest::newRow("no final line break: the last entry is not examined")
            << QStringLiteral("idle\r\ntrovalis\r\ntrovalis") << 1;
        QTest::newRow("empty list") << QString() << 0;
    }

    void copyCounter()
    {
        QFETCH(QString, list);
        QFETCH(int, copies);
        QCOMPARE(singleinstance::countCopies(list, QStringLiteral("trovalis")), copies);
    }

    void realProcessListNamesThisProgram()
    {
        const QString list = singleinstance::processList();
        QVERIFY(list.endsWith(QStringLiteral("\r\n")));
        QCOMPARE(singleinstance::countCopies(list, singleinstance::executableName()), 1);
    }

    void secondCopyRestoresTheFirstWindow()
    {
        auto first = makeForm();
        leaveStaleSocket(first->instanceServerName);  // as a killed copy would
        first->formLoad();
        first->showMinimized();
        QVERIFY(first->isMinimized());

        auto alone = makeForm(QStringLiteral("idle\r\ntrovalis\r\n"));  // a copy that finds only itself
        alone->formLoad();
        QTest::qWait(200);
        QVERIFY(first->isMinimized());

        auto second = makeForm(QStringLiteral("idle\r\ntrovalis\r\nsh\r\ntrovalis\r\n"));
        second->formLoad();
        QTRY_VERIFY(!first->isMinimized() && first->isVisible());
        QCOMPARE(second->windowTitle(), QStringLiteral("Trovalis V2017.3.23"));  // it opens its own window
    }

    void exitCommand_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("browserRefuses");
        QTest::addColumn<bool>("pageOpened");
        QTest::addColumn<bool>("errorShown");
        QTest::newRow("No") << int(dialogs::Answer::No) << false << false << false;
        QTest::newRow("Yes") << int(dialogs::Answer::Yes) << false << true << false;
        QTest::newRow("Yes, browser refuses") << int(dialogs::Answer::Yes) << true << true << true;
    }

    void exitCommand()
    {
        QFETCH(int, answer);
        QFETCH(bool, browserRefuses);
        QFETCH(bool, pageOpened);
        QFETCH(bool, errorShown);
        auto form = makeForm();
        captured.browserRefuses = browserRefuses;
        dialogs::queueAnswer(dialogs::Answer(answer));
        dialogs::queueAnswer(dialogs::Answer::Ok);
        form->tuichu->trigger();

        const auto shown = dialogs::takeShownMessages();
        QCOMPARE(shown.first().text, QStringLiteral("谢谢使用！访问我的网站吗？"));
        QCOMPARE(shown.first().title, QStringLiteral("Trovalis"));
        QCOMPARE(shown.first().buttons, dialogs::Buttons::YesNo);
        QCOMPARE(captured.openedUrls,
                 pageOpened
                     ? QList<QUrl>{QUrl(server.base() + QStringLiteral("/ziyuan/post/2014/04/04/11.aspx"))}
                     : QList<QUrl>{});
        QCOMPARE(shown.size(), errorShown ? 2 : 1);
        if (errorShown) {
            QCOMPARE(shown[1].text, QStringLiteral("调用浏览器错误！"));
            QCOMPARE(shown[1].title, QStringLiteral("错误："));
            QCOMPARE(shown[1].icon, dialogs::Icon::Critical);
        }
        QCOMPARE(captured.endProgramCalls, 1);
    }

    void closingEndsWithoutQuestion()
    {
        auto form = makeForm();
        form->show();
        form->close();
        QCOMPARE(captured.endProgramCalls, 1);
        QVERIFY(dialogs::takeShownMessages().isEmpty());
    }

    void noHandlerRunsWhileTheWindowIsDestroyed()
    {
        auto form = makeForm();
        auto* control = new SignalsWhileDying(form->centralWidget());
        int handled = 0;
        connect(control, &SignalsWhileDying::dying, form.get(), [&handled] { ++handled; });
        form.reset();
        QCOMPARE(handled, 0);
    }

    void newWindowGoesToComparer()
    {
        auto form = makeForm();
        QList<QUrl> loaded;
        form->loadInComparer = [&](const QUrl& url) { loaded << url; };
        bool processed = false;
        emit form->WebBrowser1->newWindowRequested(QUrl(QStringLiteral("http://127.0.0.1:1/a")), &processed);
        QVERIFY(processed);
        QCOMPARE(loaded, QList<QUrl>{QUrl(QStringLiteral("http://127.0.0.1:1/a"))});
    }

    void analysisThroughTheWindow()
    {
        auto form = makeForm();
        RichEditor* editor = form->RichTextBox1;
        editor->setText(QStringLiteral("研究表明 Hello World!\r\n") + QStringLiteral("第二行").repeated(20));
        editor->setSelStart(2);
        editor->setSelLength(5);
        editor->setSelColor(Qt::red);
        form->Label2->show();
        form->session.autoRunning = true;
        form->session.pageCount = 9;

        form->Command1->click();

        QCOMPARE(form->Label1->text(),
                 QStringLiteral("本文共 65 字，本次分析共分析出 2 句，请多次点击进行对比！"));
        QVERIFY(form->Label2->isHidden());
        QVERIFY(!form->session.autoRunning);
        QCOMPARE(form->session.pageCount, 1);
        QCOMPARE(form->session.resultTitles.size(), 21);
        QCOMPARE(form->List1->count(), 2);
        QCOMPARE(form->List1->item(0)->text(),
                 QStringLiteral("1-研究表明HelloWorld！") + QStringLiteral("第二行").repeated(7)
                     + QStringLiteral("第二"));
        QCOMPARE(editor->selStart(), 0);
        QCOMPARE(editor->selLength(), 0);
        // Formatting reset: the text unchanged, no red left, 宋体 size 10 everywhere.
        QCOMPARE(editor->text(),
                 QStringLiteral("研究表明 Hello World!\r\n") + QStringLiteral("第二行").repeated(20));
        for (int at : {0, 3, 5, 30}) {
            editor->setSelStart(at);
            editor->setSelLength(1);
            QVERIFY(editor->selColor() != QColor(Qt::red));
            QCOMPARE(editor->selFontName(), kSongTi);
            QCOMPARE(editor->selFontSize(), 10.0);
        }

        editor->setText(QString());
        form->Command1->click();
        QCOMPARE(form->Label1->text(),
                 QStringLiteral("本文共 0 字，本次分析共分析出 0 句，请多次点击进行对比！"));
        QCOMPARE(form->List1->count(), 0);
    }

    void fiveMegabytePaper()
    {
        auto form = makeForm();
        const QString line =
            QStringLiteral("在本研究中，我们对三百名学生进行了问卷调查，结果表明 Hello World!\r\n");
        form->RichTextBox1->setText(line.repeated(5 * 1024 * 1024 / line.toUtf8().size()));
        form->show();
        form->Command1->click();
        QVERIFY(form->List1->count() > 40000);
        QCOMPARE(form->List1->count(), form->session.sentences.size());
        QVERIFY(form->Label1->text().startsWith(QStringLiteral("本文共 ")));
        QTest::qWait(50);  // the event loop still turns
    }

    void layout_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("analysed");
        for (bool analysed : {false, true}) {
            const char* when = analysed ? "after analysis" : "before analysis";
            QTest::addRow("800x600 %s", when) << QSize(800, 600) << analysed;
            QTest::addRow("1200x900 %s", when) << QSize(1200, 900) << analysed;
            QTest::addRow("640x480 %s", when) << QSize(640, 480) << analysed;
            QTest::addRow("tiny %s", when) << QSize(150, 120) << analysed;
        }
    }

    void layout()
    {
        QFETCH(QSize, size);
        QFETCH(bool, analysed);
        auto form = makeForm();
        form->show();
        if (analysed) {
            form->RichTextBox1->setText(QStringLiteral("研究表明"));
            form->Command1->click();
        }
        const QSize before = form->WebBrowser1->size();
        form->resize(size);
        QCoreApplication::processEvents();

        const QSize outer = twips::outerSize(form.get());
        const int H = outer.height();
        const int W = outer.width();
        if (size.height() < 150)
            QVERIFY2(H - 2890 < 0, "the tiny window must exercise the negative-size rule");
        auto px = twips::toPixels;
        auto sizeOr = [&](int tw, int previous) { return tw < 0 ? previous : px(tw); };
        QCOMPARE(form->WebBrowser1->size(),
                 QSize(sizeOr(W - 525, before.width()), sizeOr(H - 2890, before.height())));
        if (analysed)
            QCOMPARE(form->RichTextBox1->size(), QSize(sizeOr(W - 1905, 0), px(2400)));
        else if (H - 1890 >= 0)
            QCOMPARE(form->RichTextBox1->size(), QSize(sizeOr(W - 525, 0), px(H - 1890)));
        QCOMPARE(form->RichTextBox1->pos(), QPoint(px(90), 0));
        QCOMPARE(form->Label1->pos(), QPoint(px(225), px(H - 1700)));
        QCOMPARE(form->Label2->pos(), QPoint(px(5175), px(H - 1700)));
        QCOMPARE(form->Command1->pos(), QPoint(px(270), px(H - 1400)));
        QCOMPARE(form->Command2->pos(), QPoint(px(2970), px(H - 1400)));
        for (QPushButton* b : {form->Command3, form->Command4})
            QCOMPARE(b->pos(), QPoint(px(W - 2500), px(H - 1400)));
        QCOMPARE(form->Command5->pos(), QPoint(px(W - 2500), px(H - 1720)));
        QCOMPARE(form->Command6->pos(), QPoint(px(W - 900), px(H - 1720)));
        QCOMPARE(form->Command5->size(), QSize(px(1545), px(285)));
        QCOMPARE(form->List1->geometry(), QRect(px(W - 1800), px(45), px(1400), px(2760)));
    }

    void editCommands()
    {
        auto form = makeForm();
        RichEditor* editor = form->RichTextBox1;
        QClipboard* clipboard = QGuiApplication::clipboard();

        editor->setText(QString());
        form->qx->trigger();  // select-all on an empty editor
        QCOMPARE(editor->selLength(), 0);

        editor->setText(QStringLiteral("甲乙丙\r\n丁戊"));
        form->qx->trigger();
        QCOMPARE(editor->selLength(), 7);
        form->fz->trigger();
        QCOMPARE(clipboard->text().replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                 QStringLiteral("甲乙丙\n丁戊"));

        // Paste replaces the selection with the clipboard's plain text only.
        auto* mime = new QMimeData;
        mime->setHtml(QStringLiteral("<b style=\"color:#ff0000\">粗体</b>"));
        mime->setText(QStringLiteral("粗体"));
        clipboard->setMimeData(mime);
        editor->setSelStart(1);
        editor->setSelLength(2);
        form->nt->trigger();
        QCOMPARE(editor->text(), QStringLiteral("甲粗体\r\n丁戊"));
        editor->setSelStart(1);
        editor->setSelLength(2);
        QVERIFY(editor->selColor() != QColor(Qt::red));
        QVERIFY(!editor->textCursor().charFormat().font().bold());

        // Cut across the line break, then undo it.
        editor->setSelStart(2);
        editor->setSelLength(4);
        form->jq->trigger();
        QCOMPARE(editor->text(), QStringLiteral("甲粗戊"));
        QCOMPARE(clipboard->text().replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
                 QStringLiteral("体\n丁"));
        form->cx->trigger();
        QCOMPARE(editor->text(), QStringLiteral("甲粗体\r\n丁戊"));

        editor->setSelStart(0);
        editor->setSelLength(1);
        form->sc->trigger();
        QCOMPARE(editor->text(), QStringLiteral("粗体\r\n丁戊"));
    }

    void spaceKeySetsSongTi()
    {
        auto form = makeForm();
        form->show();
        RichEditor* editor = form->RichTextBox1;
        editor->setText(QString());
        editor->setFocus();
        QTextCharFormat other;
        other.setFontFamilies({QStringLiteral("Serif")});
        editor->setCurrentCharFormat(other);
        QTest::keyClick(editor, Qt::Key_A);
        QCOMPARE(editor->currentCharFormat().fontFamilies().toStringList().value(0), QStringLiteral("Serif"));
        QTest::keyClick(editor, Qt::Key_Space);
        QTest::keyClick(editor, Qt::Key_B);
        editor->setSelStart(2);
        editor->setSelLength(1);
        QCOMPARE(editor->selFontName(), kSongTi);
    }

    void rightClickOpensEditMenu()
    {
        auto form = makeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QWidget* viewport = form->RichTextBox1->viewport();
        QTest::mousePress(viewport, Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(!form->yjcd->isVisible());
        QTest::mousePress(viewport, Qt::RightButton, {}, QPoint(20, 20));
        QTRY_VERIFY(form->yjcd->isVisible());
        form->yjcd->hide();
    }
};

QTEST_MAIN(TestForm1)
#include "test_form1.moc"
