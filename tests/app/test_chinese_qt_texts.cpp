// Qt's own texts in Chinese, as the programs set them up at start-up, seen
// through the real windows: the buttons of their message boxes, the file
// dialog, the browser's own menu. Nothing is queued in the dialog seam here,
// so the real modal boxes and dialogs are shown, read, and answered.

#include "comparer/ui/form2.h"
#include "mainwindow/ui/form1.h"
#include "platform/core/qttranslations.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "support/fixtureserver.h"
#include "support/testdata.h"
#include "support/updatesigning.h"
#include "update/core/handover.h"
#include "update/ui/form8.h"
#include "updater/updaterform.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QtTest>

namespace {

// What a modal box or dialog showed: its message, its buttons' and labels' texts.
struct Seen {
    QString text;
    QStringList buttons;
    QStringList labels;
};

// Runs `show`, which opens modal boxes or dialogs one after another; reads
// each once it is up and closes it with the button whose text begins with
// the next of `answers` (an empty answer cancels it).
QList<Seen> answerModals(const std::function<void()>& show, const QStringList& answers)
{
    QList<Seen> seen;
    QPointer<QWidget> last;  // null once closed: the next box may get the same address
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible() || modal == last || seen.size() >= answers.size())
            return;
        last = modal;
        const QString answer = answers[seen.size()];
        Seen one;
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            one.text = box->text();
        QAbstractButton* chosen = nullptr;
        for (QAbstractButton* b : modal->findChildren<QAbstractButton*>()) {
            if (b->text().isEmpty() || !b->isVisible())
                continue;
            one.buttons << b->text();
            if (!answer.isEmpty() && b->text().startsWith(answer))
                chosen = b;
        }
        for (QLabel* l : modal->findChildren<QLabel*>()) {
            if (l->isVisible() && !l->text().isEmpty())
                one.labels << l->text();
        }
        one.buttons.sort();
        seen << one;
        if (chosen)
            chosen->click();
        else
            qobject_cast<QDialog*>(modal)->reject();
    });
    watch.start();
    show();
    return seen;
}

Seen answerModal(const std::function<void()>& show, const QString& answer = {})
{
    const QList<Seen> seen = answerModals(show, {answer});
    return seen.value(0);
}

}  // namespace

class TestChineseQtTexts : public QObject {
    Q_OBJECT
private:
    FixtureServer server_;
    QTemporaryDir folder_;

    Endpoints endpoints() const
    {
        Endpoints e = Endpoints::builtIn();
        e.vendorWebBase = server_.base();
        return e;
    }

    std::unique_ptr<Form1> mainWindow()
    {
        auto form = std::make_unique<Form1>(endpoints());
        form->getProcessList = [] { return QStringLiteral("idle\r\n"); };
        form->executableName = QStringLiteral("trovalis");
        form->instanceServerName = folder_.filePath(QStringLiteral("instance"));
        form->endProgram = [] {};
        form->openInBrowser = [](const QUrl&) { return true; };
        return form;
    }

private slots:
    void initTestCase()
    {
        const QStringList installed =
            qttranslations::installChinese({QStringLiteral("qtbase"), QStringLiteral("qtwebengine")});
        if (installed.size() != 2)
            QSKIP("Qt's Chinese translations are not installed (qt6-translations-l10n)");
    }
    void init() { dialogs::reset(); }

    void missingTranslationsChangeNothing()
    {
        QCOMPARE(qttranslations::installChinese({QStringLiteral("qtbase")}, folder_.filePath("none")),
                 QStringList{});
    }

    void endOfComparisonSaysOk()
    {
        auto form = mainWindow();
        form->RichTextBox1->setText(QStringLiteral(u"尚未分析的文字"));
        const Seen seen = answerModal([&] { form->Command2_Click(); }, QStringLiteral(u"确定"));
        QCOMPARE(seen.text, QStringLiteral(u"本次对比结束！"));
        QCOMPARE(seen.buttons, QStringList{QStringLiteral(u"确定")});
    }

    void exitQuestionSaysYesAndNo()
    {
        auto form = mainWindow();
        const Seen seen = answerModal([&] { form->tuichu->trigger(); }, QStringLiteral(u"否"));
        QCOMPARE(seen.text, QStringLiteral(u"谢谢使用！访问我的网站吗？"));
        QCOMPARE(seen.buttons.size(), 2);
        QVERIFY2(seen.buttons[0].startsWith(u'否') && seen.buttons[1].startsWith(u'是'),
                 qPrintable(seen.buttons.join(u' ')));
    }

    void updateQuestionSaysYesAndNo()
    {
        FixtureServer server;
        signing::serveSigned(server, "/trvs/UpdateInfor.inf", "20170324\r\n0\r\n", "text/plain");
        server.serve("/trvs/Uplog.inf", "log", "text/plain");
        QWidget mainWindow;
        QVariant upl;
        UpdateContext context;
        context.programFolder = folder_.path();
        context.mainExecutable = folder_.filePath("trovalis");
        context.updateBase = server.base() + "/trvs";
        context.checkTimeoutSeconds = 3;
        context.publicKey = signing::demoPublicKey();
        Form8 window(context, MainWindowLink{&mainWindow, &upl, [] {}});
        window.endProgram = [] {};
        const QList<Seen> seen =
            answerModals([&] { window.Form_Load(); }, {QStringLiteral(u"否"), QStringLiteral(u"确定")});
        QCOMPARE(seen.size(), 2);
        QVERIFY(seen[0].text.startsWith(QStringLiteral(u"已出最新版")));
        QCOMPARE(seen[0].buttons.size(), 2);
        QVERIFY2(seen[0].buttons[0].startsWith(u'否') && seen[0].buttons[1].startsWith(u'是'),
                 qPrintable(seen[0].buttons.join(u' ')));
        QCOMPARE(seen[1].buttons, QStringList{QStringLiteral(u"确定")});
    }

    void updatersDownloadErrorSaysOk()
    {
        QTemporaryDir dir;
        testdata::writeFile(dir.filePath("trovalis"), "old program");
        QVERIFY(update::writeHandOverFile(dir.path(), dir.filePath("trovalis")));
        updater::Form1 window;
        window.Timer1.stop();
        window.workingDirectory = dir.path();
        window.endProgram = [] {};
        window.startProgram = [](const QString&) { return true; };
        const Seen seen = answerModal(
            [&] {
                for (int tick = 0; tick < 3; ++tick)
                    window.Timer1_Timer();
            },
            QStringLiteral(u"确定"));
        QCOMPARE(seen.text, QStringLiteral(u"下载错误，请重新运行下载程序！"));
        QCOMPARE(seen.buttons, QStringList{QStringLiteral(u"确定")});
    }

    void comparersSaveDialogIsChinese()
    {
        Form2 form(endpoints(), [] { return QStringLiteral(u"论文"); });
        form.programFolder = folder_.path();
        form.open();
        const Seen seen = answerModal([&] { form.baocun_Click(); });
        QVERIFY2(seen.buttons.contains(QStringLiteral(u"取消")), qPrintable(seen.buttons.join(u' ')));
        QVERIFY2(seen.labels.contains(QStringLiteral(u"查找范围：")), qPrintable(seen.labels.join(u' ')));
        QVERIFY2(std::any_of(seen.labels.begin(), seen.labels.end(),
                             [](const QString& l) { return l.startsWith(QStringLiteral(u"文件名称")); }),
                 qPrintable(seen.labels.join(u' ')));
    }

    void browserSpeaksChinese()
    {
        QWebEnginePage page;
        QCOMPARE(page.action(QWebEnginePage::Back)->text(), QStringLiteral(u"后退"));
        QSignalSpy loaded(&page, &QWebEnginePage::loadFinished);
        page.setHtml(QStringLiteral("<html><body>x</body></html>"));
        QVERIFY(loaded.wait(20000));
        QString language;
        page.runJavaScript(QStringLiteral("navigator.language"),
                           [&](const QVariant& v) { language = v.toString(); });
        QTRY_VERIFY_WITH_TIMEOUT(!language.isEmpty(), 10000);
        QCOMPARE(language, QStringLiteral("zh-CN"));
    }
};

QTEST_MAIN(TestChineseQtTexts)
#include "test_chinese_qt_texts.moc"
