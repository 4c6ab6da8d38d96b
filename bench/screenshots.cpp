// Takes README's pictures of the windows from the current build, the windows
// built and driven as the program builds them, against search, vendor and
// update servers of its own on 127.0.0.1:
//   main-window.png    the main window after an automatic run
//   comparer.png       the comparer after compare and mark
//   report-window.png  the check report (where the build has one), at its sources and chapters
//   report-pdf.png     the first page of the report's PDF (pdftoppm)
//   update-window.png  the update window offering a newer version
//   library-window.png "文献库对比": a folder's sources, one picked, one of its finds side by side
// Usage: screenshots OUTDIR, under an X server (scripts/screenshots.sh runs it
// under Xvfb). Exit status 1 when a window could not be taken.

#include "comparer/core/thesauruspage.h"
#include "comparer/ui/form2.h"
#include "comparer/ui/librarywindow.h"
#include "mainwindow/ui/form1.h"
#include "platform/browser/browserview.h"
#include "platform/core/gbk.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/programicon.h"
#include "platform/widgets/richeditor.h"
#include "report/ui/reportwindow.h"
#include "support/fixtureserver.h"
#include "support/resultpages.h"
#include "support/updatesigning.h"
#include "update/ui/form8.h"

#include <QAction>
#include <QApplication>
#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMessageBox>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <cstdio>
#include <functional>
#include <memory>

namespace {

// A short paper of the kind the program is made for, in chapters.
const QString kPaper = QStringLiteral(u"城市绿地与居民健康\r\n"
                                      u"第一章 绪论\r\n"
                                      u"城市绿地是城市生态系统的重要组成部分，也是居民日常休闲的主要场所。"
                                      u"近年来，越来越多的研究开始关注绿地与居民健康之间的关系。"
                                      u"本文以某市三个城区为例，调查了居民的日常活动和身体状况。\r\n"
                                      u"第二章 调查与结果\r\n"
                                      u"调查共发放问卷六百份，收回有效问卷五百二十份。"
                                      u"结果表明，住所附近绿地面积较大的居民，每周户外活动的时间明显更长。"
                                      u"绿地的可达性对老年人和儿童的影响尤其显著。"
                                      u"此外，绿地的质量与居民的心理感受也有密切的联系。\r\n"
                                      u"第三章 建议\r\n"
                                      u"文章最后从规划和管理两个方面提出了改进建议，供有关部门参考。");

// The comparer's reference: two of the paper's sentences among others.
const QString kReference =
    QStringLiteral(u"城市绿地是城市生态系统的重要组成部分，也是居民日常休闲的主要场所。"
                   u"公园的布局应当兼顾不同年龄人群的需要。"
                   u"绿地的可达性对老年人和儿童的影响尤其显著。"
                   u"规划部门可以通过增加小型绿地来改善城区环境。");

const QStringList kTitles{
    QStringLiteral(u"城市绿地与居民健康关系研究综述"), QStringLiteral(u"城市公园可达性评价方法探讨"),
    QStringLiteral(u"居民户外活动时间的影响因素分析"), QStringLiteral(u"老年人休闲活动与社区环境"),
    QStringLiteral(u"城市生态系统服务功能研究进展"),   QStringLiteral(u"绿地景观质量与心理健康"),
    QStringLiteral(u"社区绿地规划与管理的若干问题"),   QStringLiteral(u"问卷调查在城市规划中的应用"),
    QStringLiteral(u"儿童户外活动与城市空间设计"),     QStringLiteral(u"城区绿化建设的实践与思考"),
};

// The highlighted characters of each successive search: a mix of high,
// middling and low similarities, so that the list shows every colour.
const QList<int> kHighlighted{300, 90, 0, 220, 40, 0, 160, 110, 16};

QByteArray resultPage(int request)
{
    const int highlighted = kHighlighted[request % kHighlighted.size()];
    const int stretches = std::min<int>(10, highlighted / 8);  // shorter stretches do not count
    QList<resultpages::Result> results;
    for (int i = 0; i < 10; ++i) {
        const QString title = kTitles[(request + i) % kTitles.size()];
        const QString snippet = i < stretches ? resultpages::highlight(highlighted / stretches) : QString();
        results << resultpages::Result{title, snippet + resultpages::filler(40)};
    }
    return resultpages::page(resultpages::body(results));
}

QByteArray manifest(int buildNumber) { return QByteArray::number(buildNumber) + "\r\n1\r\nTemp.png\r\n"; }

bool shoot(QWidget* window, const QString& path)
{
    window->raise();
    window->activateWindow();
    if (!QTest::qWaitForWindowExposed(window, 10000)) {
        std::fprintf(stderr, "screenshots: %s was never shown\n", qPrintable(path));
        return false;
    }
    QTest::qWait(1500);  // pages and late layout settle
    const QRect frame = window->frameGeometry();
    const QPixmap picture =
        window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (picture.isNull() || !picture.save(path)) {
        std::fprintf(stderr, "screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s: %dx%d\n", qPrintable(path), picture.width(), picture.height());
    return true;
}

// The top-level window that appeared since `before`, if one did.
QWidget* newWindow(const QWidgetList& before)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && !before.contains(w) && w->isWindow() && w->windowType() != Qt::ToolTip)
            return w;
    return nullptr;
}

// Waits until `done`, at most a minute; says what it waited for when it gives up.
bool waitUntil(const std::function<bool()>& done, const char* what)
{
    for (int i = 0; i < 600; ++i) {
        if (done())
            return true;
        QTest::qWait(100);
    }
    std::fprintf(stderr, "screenshots: gave up waiting for %s\n", what);
    return false;
}

// A message box nobody queued an answer for would hold the run for ever:
// name it and close it.
void closeUnexpectedBoxes()
{
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            std::fprintf(stderr, "screenshots: closed an unexpected message: %s\n", qPrintable(box->text()));
            box->reject();
        }
    });
    timer->start(500);
}

QAction* actionNamed(QWidget* window, const QString& text)
{
    for (QAction* action : window->findChildren<QAction*>())
        if (action->text().remove(u'&') == text)
            return action;
    return nullptr;
}

}  // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setWindowIcon(programicon::icon());
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshots OUTDIR\n");
        return 2;
    }
    closeUnexpectedBoxes();
    const QDir out(QString::fromLocal8Bit(argv[1]));
    if (!out.exists() && !QDir().mkpath(out.path()))
        return 1;

    QAtomicInt searches;
    FixtureServer search;
    search.setFallback([&](const QString&, const QString&) {
        FixtureServer::Reply reply;
        reply.body = resultPage(searches.fetchAndAddOrdered(1));
        return reply;
    });
    FixtureServer vendor;
    vendor.serveDirectory(QStringLiteral(TROVALIS_SERVER_DIR));
    // Signed by the demo key, as the update client accepts nothing else.
    signing::serveSigned(vendor, QStringLiteral("/trvs/UpdateInfor.inf"), manifest(version::kBuildNumber),
                         "text/plain");
    signing::serveSigned(vendor, QStringLiteral("/trvs/Uplog.inf"),
                         gbk::encode(QStringLiteral(u"新版本：检测更快，报告更清楚，修正了若干问题。")),
                         "text/plain");

    Endpoints endpoints = Endpoints::builtIn();
    endpoints.baiduBase = search.base();
    endpoints.wenkuBase = search.base();
    endpoints.zhiwangBase = search.base();
    endpoints.vendorWebBase = vendor.base();
    endpoints.updateBase = vendor.base() + QStringLiteral("/trvs");

    // A program folder of its own, so that nothing is written beside this binary.
    QTemporaryDir folder;
    UpdateContext updateContext;
    updateContext.programFolder = folder.path();
    updateContext.mainExecutable = folder.filePath(QStringLiteral("trovalis"));
    updateContext.updateBase = endpoints.updateBase;

    Form1 form1(endpoints);
    form1.executableName = QStringLiteral("trovalis-screenshots");
    form1.instanceServerName = folder.filePath(QStringLiteral("instance"));
    form1.getProcessList = [] { return QString(); };
    form1.endProgram = [] {};
    form1.openUpdateWindow = [&] {
        showUpdateWindow(updateContext,
                         MainWindowLink{&form1, &form1.upl, [&] { form1.WebBrowser1->reloadPage(); }});
    };
    std::unique_ptr<Form2> form2;
    const auto comparer = [&]() -> Form2& {
        if (!form2) {
            form2 = std::make_unique<Form2>(form1.endpoints, [&] { return form1.RichTextBox1->text(); });
            form2->programFolder = folder.path();
        }
        return *form2;
    };
    form1.openComparer = [&] { comparer().open(); };
    form1.loadInComparer = [&](const QUrl& url) { comparer().loadPage(url); };
    form1.formLoad();
    form1.show();
    form1.resize(1000, 700);  // room for the sentence list beside the paper
    bool ok = true;

    // The main window after an automatic run over the paper.
    form1.RichTextBox1->setText(kPaper);
    form1.Command1_Click();
    dialogs::queueAnswer(dialogs::Answer::Ok);  // "本次对比结束！"
    form1.Command3_Click();
    form1.Timer2.setInterval(300);
    ok &= waitUntil([&] { return !form1.session.autoRunning; }, "the automatic run");
    dialogs::takeShownMessages();
    // The run ends on a blank result page; picking the first sentence again shows its results.
    form1.List1->setCurrentRow(0);
    form1.List1_Click();
    ok &= waitUntil([&] { return !form1.WebBrowser1->busy(); }, "the first sentence's result page");
    form1.List1->clearSelection();  // the selection would hide the first sentence's colour
    ok &= shoot(&form1, out.filePath(QStringLiteral("main-window.png")));

    // The check report of that run, where the build has the window.
    if (QAction* report = actionNamed(&form1, QStringLiteral(u"查看检测报告"))) {
        const QWidgetList before = QApplication::topLevelWidgets();
        report->trigger();
        QWidget* window = nullptr;
        for (int i = 0; i < 100 && !window; ++i) {
            QTest::qWait(100);
            window = newWindow(before);
        }
        if (auto* reportWindow = qobject_cast<ReportWindow*>(window)) {
            // Where the report says where the figure comes from: its sources and chapters.
            reportWindow->resize(900, 760);
            QTest::qWait(1500);
            reportWindow->view()->page()->runJavaScript(
                QStringLiteral("window.scrollTo(0, document.querySelectorAll('h2')[1].offsetTop - 8)"));
        }
        if (window) {
            ok &= shoot(window, out.filePath(QStringLiteral("report-window.png")));
            window->close();
        } else {
            std::fprintf(stderr, "screenshots: \"查看检测报告\" opened no window\n");
            ok = false;
        }
    } else {
        std::printf("report-window.png: this build has no \"查看检测报告\"; not taken\n");
    }

    // The first page of the report's PDF, exported as the student exports it.
    if (QAction* exportReport = actionNamed(&form1, QStringLiteral(u"导出检测报告…"))) {
        const QString pdf = folder.filePath(QStringLiteral("report.pdf"));
        dialogs::queueFileName(pdf);
        exportReport->trigger();
        QProcess pdftoppm;
        pdftoppm.start(QStringLiteral("pdftoppm"),
                       {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("60"),
                        QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
                        QStringLiteral("-singlefile"), pdf, out.filePath(QStringLiteral("report-pdf"))});
        if (!pdftoppm.waitForFinished(60000) || pdftoppm.exitCode() != 0) {
            std::fprintf(stderr, "screenshots: pdftoppm could not read the report's PDF\n");
            ok = false;
        } else {
            std::printf("%s\n", qPrintable(out.filePath(QStringLiteral("report-pdf.png"))));
        }
    }

    // The comparer after compare and mark against a reference holding two of the sentences.
    form1.Command6_Click();
    Form2& form2Window = comparer();
    form2Window.resize(860, 560);
    form2Window.RichTextBox2->setText(kReference);
    form2Window.Command1_Click();
    ok &= shoot(&form2Window, out.filePath(QStringLiteral("comparer.png")));
    form2Window.close();

    // "文献库对比" against a folder of four sources holding the paper's passages:
    // one as it stands, one with a word put in, one in traditional characters,
    // one reworded from a thesaurus line.
    {
        const QString copied =
            QStringLiteral(u"城市化进程中农村劳动力大量流入城市，带来了许多新的社会问题。");
        const QString inserted =
            QStringLiteral(u"互联网技术的快速发展改变了人们获取信息的方式，也深刻影响着传统"
                           u"媒体在新时代的生存空间与发展方向。");
        const QString reworded = QStringLiteral(u"研究人员采用新的方法分析了大量数据，得出了重要的结论。");
        const QString paper = QStringLiteral(u"我的论文从这里开始，先交代写作的缘起。") + copied
            + QStringLiteral(u"下面是我自己的看法。") + inserted
            + QStringLiteral(u"这一点值得注意。经济全球化对发展中国家的产业结构产生了深远的影响。"
                             u"我认为还需要更多的证据。")
            + reworded + QStringLiteral(u"以上就是全部内容。");
        const QString sources = folder.filePath(QStringLiteral("文献库"));
        const QString program = folder.filePath(QStringLiteral("program"));
        QDir().mkpath(sources);
        QDir().mkpath(program);
        const Result<void> thesaurus = comparer::writeThesaurusFile(
            program + QStringLiteral("/ciku.txt"),
            {QStringLiteral(u"采用,使用,运用"), QStringLiteral(u"方法,办法,手段"),
             QStringLiteral(u"数据,资料"), QStringLiteral(u"重要,关键,主要")});
        if (!thesaurus)
            qWarning("no thesaurus for the library window's picture: %s", qPrintable(thesaurus.error()));
        const auto write = [&](const QString& name, const QString& text) {
            QFile file(sources + u'/' + name);
            if (file.open(QIODevice::WriteOnly))
                file.write(text.toUtf8());
        };
        write(QStringLiteral(u"城市化与农村劳动力.txt"),
              QStringLiteral(u"前面的话与论文无关。") + copied + QStringLiteral(u"后面还有别的句子。"));
        write(QStringLiteral(u"媒体的生存空间.txt"),
              QStringLiteral(
                  u"开头的一段文字与论文无关。互联网技术的快速发展改变了人们获取信息的方式、也深刻影响着"
                  u"传统纸质媒体在新时代的生存空间与发展方向。"));
        write(QStringLiteral(u"全球化与产业结构.txt"),
              QStringLiteral(
                  u"以下引自一篇文章：經濟全球化對發展中國家的產業結構產生了深遠的影響。文章到此为止。"));
        write(QStringLiteral(u"研究方法.txt"),
              QStringLiteral(u"前言部分与论文无关。研究人员使用新的办法分析了大量资料，"
                             u"得出了关键的结论。后面的内容也不相同。"));
        Form2 library(form1.endpoints, [&] { return paper; });
        library.dataFolder = folder.filePath(QStringLiteral("library-data"));
        library.programFolder = program;
        library.open();
        dialogs::queueFileName(sources);
        library.Command4_Click();
        if (LibraryWindow* window = library.libraryWindow) {
            library.move(2000, 0);  // off the screen: without a window manager it would cover the window
            window->move(0, 0);
            window->resize(900, 720);
            window->sources->cellClicked(0, 0);
            if (window->passages->count() > 0)
                window->passages->itemClicked(window->passages->item(0));
            ok &= shoot(window, out.filePath(QStringLiteral("library-window.png")));
            window->close();
        } else {
            std::fprintf(stderr, "screenshots: \"文献库对比\" opened no window\n");
            ok = false;
        }
        library.close();
        dialogs::takeShownMessages();
    }

    // The update window, once the server offers a newer build and the user says yes.
    signing::serveSigned(vendor, QStringLiteral("/trvs/UpdateInfor.inf"), manifest(version::kBuildNumber + 1),
                         "text/plain");
    dialogs::queueAnswer(dialogs::Answer::Yes);
    form1.openUpdateWindow();
    Form8* update = nullptr;
    for (int i = 0; i < 100 && !update; ++i) {
        QTest::qWait(100);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* form8 = qobject_cast<Form8*>(w); form8 && form8->isVisible())
                update = form8;
    }
    ok &= update && shoot(update, out.filePath(QStringLiteral("update-window.png")));
    if (!update)
        std::fprintf(stderr, "screenshots: the update window did not open\n");
    dialogs::takeShownMessages();
    return ok ? 0 : 1;
}
