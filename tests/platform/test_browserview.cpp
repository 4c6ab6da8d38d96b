#include "platform/browser/browserview.h"
#include "support/fixtureserver.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineView>

namespace {

constexpr int kLoadTimeoutMs = 30000;

QByteArray page(const char* body) { return QByteArray("<html><body>") + body + "</body></html>"; }

// Browser windows other than `except`.
QList<BrowserView*> topLevelBrowsers(const BrowserView* except = nullptr)
{
    QList<BrowserView*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* view = qobject_cast<BrowserView*>(w); view && view != except)
            found.append(view);
    return found;
}

FixtureServer::Reply delayed(const QByteArray& body, int ms)
{
    FixtureServer::Reply reply;
    reply.body = body;
    reply.delayMs = ms;
    return reply;
}

bool loadAndWait(BrowserView& view, const QUrl& url)
{
    QSignalSpy completes(&view, &BrowserView::downloadComplete);
    view.navigate(url);
    return completes.wait(kLoadTimeoutMs);
}

// Reads a value straight from the live page, bypassing the snapshot.
QString liveValue(BrowserView& view, const QString& expression)
{
    QString value;
    bool done = false;
    view.view()->page()->runJavaScript(expression, [&](const QVariant& v) {
        value = v.toString();
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, kLoadTimeoutMs))
        return QStringLiteral("<no answer>");
    return value;
}

}  // namespace

class TestBrowserView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        server_.serve("/a", page("<p>第一页 <EM>highlighted</EM></p>"));
        server_.serve("/b", page("<p>second page</p>"));
        server_.serve("/silent",
                      page("<p id='p'>before</p><script>alert('x');"
                           "document.getElementById('p').textContent="
                           "'after ' + confirm('y') + ' ' + prompt('z');</script>"));
        server_.serve("/slow", delayed(page("slow"), 1500));
        server_.serve("/slow-stats", delayed(page("<p>arrived</p>"), 800));
        FixtureServer::Reply dropped;
        dropped.dropConnection = true;
        server_.serve("/dropped", dropped);
        server_.serve("/popup-link",
                      page("<a id='l' target='_blank' href='/b'>open</a>"
                           "<script>document.getElementById('l').click();</script>"));
        server_.serve("/popup-script", page("<script>window.open('/b?from=script');</script>"));
        FixtureServer::Reply moved;
        moved.status = 302;
        moved.headers.append(qMakePair(QByteArray("Location"), QByteArray("/titled?from=moved")));
        server_.serve("/moved", moved);
        server_.serve("/titled",
                      QByteArray("<html><head><title>标题 &amp; 页</title></head><body>正文</body></html>"));
        server_.serve("/cookie-set",
                      page("<script>document.cookie='passed=1; max-age=86400; path=/';"
                           "document.body.textContent='set';</script>"));
        server_.serve("/cookie-get",
                      page("<p id='c'></p><script>document.getElementById('c').textContent="
                           "'cookies:' + document.cookie;</script>"));
    }

    void cleanup()
    {
        for (BrowserView* view : topLevelBrowsers())
            delete view;
    }

    void loadGivesSnapshotAfterDownloadComplete()
    {
        BrowserView view;
        QSignalSpy begins(&view, &BrowserView::downloadBegin);
        QSignalSpy completes(&view, &BrowserView::downloadComplete);
        QVERIFY(!view.busy());

        view.navigate(server_.url("/a"));
        QVERIFY(view.busy());
        QVERIFY(completes.wait(kLoadTimeoutMs));
        QVERIFY(!view.busy());
        QVERIFY(begins.size() >= 1);
        QCOMPARE(view.bodyHtml(), QString::fromUtf8("<p>第一页 <em>highlighted</em></p>"));
        QCOMPARE(view.bodyText(), QString::fromUtf8("第一页 highlighted"));

        // Right after the next navigation the reads still see the page before.
        view.navigate(server_.url("/b"));
        QVERIFY(view.busy());
        QCOMPARE(view.bodyText(), QString::fromUtf8("第一页 highlighted"));
        QVERIFY(completes.wait(kLoadTimeoutMs));
        QCOMPARE(view.bodyText(), QString("second page"));
    }

    // The snapshot tells where the page landed (after a redirect) and its title:
    // a verification page is known by either.
    void snapshotHoldsTheAddressAndTitle()
    {
        BrowserView view;
        QVERIFY(loadAndWait(view, server_.url("/moved")));
        QCOMPARE(view.pageUrl(), server_.url("/titled?from=moved"));
        QCOMPARE(view.pageTitle(), QString::fromUtf8("标题 & 页"));
        QCOMPARE(view.bodyText(), QString::fromUtf8("正文"));
        QVERIFY(loadAndWait(view, server_.url("/b")));
        QCOMPARE(view.pageTitle(), QString());
    }

    // A cookie set in the kept profile is there at the next start of the
    // program (here: the next of two child processes); a private view never
    // sees it.
    void keptProfileKeepsCookiesBetweenStarts()
    {
        QTemporaryDir profile;
        const auto start = [&](const char* step) {
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("TROVALIS_KEPT_PROFILE_STEP"), QString::fromLatin1(step));
            env.insert(QStringLiteral("TROVALIS_KEPT_PROFILE_DIR"), profile.path());
            env.insert(QStringLiteral("TROVALIS_KEPT_PROFILE_BASE"), server_.base());
            child.setProcessEnvironment(env);
            child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("keptProfileChild")});
            if (!child.waitForFinished(60000))
                return QStringLiteral("child did not finish");
            return QString::fromUtf8(child.readAllStandardOutput());
        };
        QVERIFY(start("set").contains(QStringLiteral("PASS")));
        const QString read = start("read");
        QVERIFY2(read.contains(QStringLiteral("kept:cookies:passed=1")), qPrintable(read));
        QVERIFY2(read.contains(QStringLiteral("private:cookies:\n")), qPrintable(read));
        QVERIFY(QDir(profile.path()).exists(QStringLiteral("storage")));
    }

    // One start of the program, run by the test above in a process of its own.
    void keptProfileChild()
    {
        const QByteArray step = qgetenv("TROVALIS_KEPT_PROFILE_STEP");
        if (step.isEmpty())
            QSKIP("a step of keptProfileKeepsCookiesBetweenStarts, run in a child process");
        BrowserView::setKeptProfileFolder(QString::fromLocal8Bit(qgetenv("TROVALIS_KEPT_PROFILE_DIR")));
        const QString base = QString::fromLocal8Bit(qgetenv("TROVALIS_KEPT_PROFILE_BASE"));
        BrowserView kept(nullptr, BrowserView::Profile::Kept);
        if (step == "set") {
            QVERIFY(loadAndWait(kept, QUrl(base + QStringLiteral("/cookie-set"))));
            QTRY_COMPARE_WITH_TIMEOUT(liveValue(kept, QStringLiteral("document.cookie")), QString("passed=1"),
                                      kLoadTimeoutMs);
            return;
        }
        QVERIFY(loadAndWait(kept, QUrl(base + QStringLiteral("/cookie-get"))));
        qInfo("kept:%s", qPrintable(kept.bodyText()));
        BrowserView privateView;
        QVERIFY(loadAndWait(privateView, QUrl(base + QStringLiteral("/cookie-get"))));
        qInfo("private:%s", qPrintable(privateView.bodyText()));
    }

    void newNavigationSupersedesARunningOne()
    {
        BrowserView view;
        QSignalSpy completes(&view, &BrowserView::downloadComplete);
        view.navigate(server_.url("/slow"));
        QTest::qWait(200);
        view.navigate(server_.url("/b"));
        QVERIFY(completes.wait(kLoadTimeoutMs));
        QCOMPARE(view.bodyText(), QString("second page"));
        QVERIFY(!view.busy());
    }

    void failedLoadStillCompletes()
    {
        BrowserView view;
        QVERIFY(loadAndWait(view, server_.url("/dropped")));
        QVERIFY(!view.busy());
        QCOMPARE(view.bodyText(), QString());
        QCOMPARE(view.bodyHtml(), QString());
    }

    void emptyUrlStillCompletes()
    {
        BrowserView view;
        QVERIFY(loadAndWait(view, server_.url("/b")));
        view.navigate(QUrl());
        QTRY_VERIFY_WITH_TIMEOUT(!view.busy(), kLoadTimeoutMs);
        QCOMPARE(view.bodyText(), QString());
    }

    void reloadLoadsAgain()
    {
        BrowserView view;
        QSignalSpy completes(&view, &BrowserView::downloadComplete);
        view.navigate(server_.url("/b"));
        QVERIFY(completes.wait(kLoadTimeoutMs));
        const int hitsBefore = server_.hits("/b");
        view.reloadPage();
        QVERIFY(view.busy());
        QVERIFY(completes.wait(kLoadTimeoutMs));
        QCOMPARE(server_.hits("/b"), hitsBefore + 1);
        QCOMPARE(view.bodyText(), QString("second page"));
    }

    void silentSwallowsPageDialogs()
    {
        BrowserView view;
        view.setSilent(true);
        QVERIFY(view.silent());
        QVERIFY(loadAndWait(view, server_.url("/silent")));
        QCOMPARE(view.bodyText(), QString("after false null"));
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }

    void writeDocumentReplacesOrBlanksThePage()
    {
        BrowserView view;
        QVERIFY(loadAndWait(view, server_.url("/a")));

        view.writeDocument("<p>written</p>");
        QTRY_COMPARE_WITH_TIMEOUT(view.bodyText(), QString("written"), kLoadTimeoutMs);
        QCOMPARE(view.bodyHtml(), QString("<p>written</p>"));

        view.writeDocument("");
        QTRY_COMPARE_WITH_TIMEOUT(view.bodyHtml(), QString(), kLoadTimeoutMs);
        QCOMPARE(liveValue(view, "document.body.innerHTML"), QString());
        QVERIFY(!view.busy());
    }

    void writeIntoAViewNeverNavigated()
    {
        BrowserView view;
        view.writeDocument("<p>fresh</p>");
        QTRY_COMPARE_WITH_TIMEOUT(view.bodyText(), QString("fresh"), kLoadTimeoutMs);
        QVERIFY(!view.busy());
    }

    // The statistics run writes into the old page right after navigating to
    // the new one; the navigation must go on.
    void writingDuringANavigationKeepsIt()
    {
        BrowserView view;
        QSignalSpy completes(&view, &BrowserView::downloadComplete);
        view.navigate(server_.url("/a"));
        QVERIFY(completes.wait(kLoadTimeoutMs));

        view.navigate(server_.url("/slow-stats"));
        view.writeDocument("");
        QVERIFY(completes.wait(kLoadTimeoutMs));
        QCOMPARE(view.bodyText(), QString("arrived"));
    }

    void destroyingWithScriptsPendingIsSafe()
    {
        auto* view = new BrowserView;
        QSignalSpy completes(view, &BrowserView::downloadComplete);
        view->navigate(server_.url("/b"));
        QVERIFY(completes.wait(kLoadTimeoutMs));
        view->writeDocument("<p>x</p>");
        view->pasteHtml("<p>y</p>");
        view->navigate(server_.url("/a"));
        delete view;
        QTest::qWait(300);
    }

    void pastesLandInOrder()
    {
        BrowserView view;
        QVERIFY(loadAndWait(view, server_.url("/b")));

        view.pasteHtml("<table><tr><td>出现次数：3</td></tr></table>");
        view.pasteHtml("<p>two</p>");
        view.pasteHtml("<p>three</p>");
        const QString expected =
            QString::fromUtf8("<p>second page</p><table><tbody><tr><td>出现次数：3</td></tr>"
                              "</tbody></table><p>two</p><p>three</p>");
        QTRY_COMPARE_WITH_TIMEOUT(view.bodyHtml(), expected, kLoadTimeoutMs);
        QCOMPARE(liveValue(view, "document.body.innerHTML"), expected);
    }

    void pasteAtTheCaretFollowsThePreviousPaste()
    {
        BrowserView view;
        QVERIFY(loadAndWait(view, server_.url("/a")));
        // A caret right after "第一页 ".
        liveValue(view,
                  "(function(){var t=document.querySelector('p').firstChild;"
                  "var r=document.createRange();r.setStart(t,4);r.collapse(true);"
                  "var s=getSelection();s.removeAllRanges();s.addRange(r);return 'ok';})()");
        view.pasteHtml("<b>1</b>");
        view.pasteHtml("<b>2</b>");
        QTRY_COMPARE_WITH_TIMEOUT(view.bodyHtml(),
                                  QString::fromUtf8("<p>第一页 <b>1</b><b>2</b><em>highlighted</em></p>"),
                                  kLoadTimeoutMs);
    }

    void newWindowRequestTakenOverOpensNothing_data()
    {
        QTest::addColumn<QString>("pagePath");
        QTest::addColumn<QString>("requested");
        QTest::newRow("target=_blank link") << "/popup-link"
                                            << "/b";
        QTest::newRow("window.open") << "/popup-script"
                                     << "/b?from=script";
    }
    void newWindowRequestTakenOverOpensNothing()
    {
        QFETCH(QString, pagePath);
        QFETCH(QString, requested);
        BrowserView view;
        QList<QUrl> urls;
        connect(&view, &BrowserView::newWindowRequested, this, [&](const QUrl& url, bool* processed) {
            urls.append(url);
            *processed = true;
        });
        const int hitsBefore = server_.hits("/b");
        view.navigate(server_.url(pagePath));
        QTRY_COMPARE_WITH_TIMEOUT(urls.size(), 1, kLoadTimeoutMs);
        QCOMPARE(urls.first(), server_.url(requested));
        QTest::qWait(500);
        QCOMPARE(topLevelBrowsers(&view).size(), 0);
        QCOMPARE(server_.hits("/b"), hitsBefore);
    }

    void newWindowRequestLeftAloneOpensAWindow()
    {
        BrowserView view;
        view.navigate(server_.url("/popup-script"));
        QTRY_COMPARE_WITH_TIMEOUT(topLevelBrowsers(&view).size(), 1, kLoadTimeoutMs);
        BrowserView* window = topLevelBrowsers(&view).first();
        QTRY_COMPARE_WITH_TIMEOUT(window->bodyText(), QString("second page"), kLoadTimeoutMs);
    }

private:
    FixtureServer server_;
};

QTEST_MAIN(TestBrowserView)
#include "test_browserview.moc"
