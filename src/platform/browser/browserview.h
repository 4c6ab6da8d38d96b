#pragma once
// The embedded browser over Qt WebEngine. When a load finishes, the body's
// markup and text are captured by script; `downloadComplete` is raised only
// after that snapshot has arrived, so the synchronous reads below always answer
// from the page that just finished. Qt WebEngine stays behind this widget:
// nothing that includes this header needs the engine's headers.

#include <QUrl>
#include <QWidget>

#include <memory>

class QWebEngineNewWindowRequest;
class QWebEngineView;

class BrowserView : public QWidget {
    Q_OBJECT
public:
    // Private: nothing outlives the view. Kept: one profile on disk, shared by
    // every view that asks for it, whose cookies last from one start to the
    // next, so that a search service's verification passed once holds.
    enum class Profile { Private, Kept };

    explicit BrowserView(QWidget* parent = nullptr, Profile profile = Profile::Private);
    ~BrowserView() override;

    // Where the kept profile lives; takes effect when the first view asks for
    // it. Default: "browser" in the user's data folder.
    static void setKeptProfileFolder(const QString& folder);

    QUrl url() const;              // the page's address, after any redirect
    QWebEngineView* view() const;  // the engine's own view, for tests that script the page

    void navigate(const QUrl& url);  // returns at once
    bool busy() const;               // a navigation or snapshot still running
    bool loadSucceeded() const;      // the last load ended without a network error (not cut short)
    void setSilent(bool silent);     // no dialogs of the page's own (alerts, script errors)
    bool silent() const;
    void reloadPage();
    void stop();  // ends a load still running

    void writeDocument(const QString& html);  // "" blanks the page
    void pasteHtml(const QString& fragment);  // at the insertion point, each after the previous

    // Snapshots of body.innerHTML and body.innerText ("" without a body). They
    // follow a finished load, and a write or paste once its script has run.
    QString bodyHtml() const;
    QString bodyText() const;
    // The address and title of the document the snapshot was taken of.
    QUrl pageUrl() const;
    QString pageTitle() const;

signals:
    void downloadBegin();
    void downloadComplete();
    // A page asked for a new window. Set *processed to true to stop it opening.
    // When nobody sets it, the page opens in a browser window of its own.
    void newWindowRequested(const QUrl& url, bool* processed);

private:
    class Page;

    void onLoadStarted();
    void onLoadFinished(bool ok);
    void onNewWindowRequested(QWebEngineNewWindowRequest& request);
    void runAndStoreSnapshot(const QString& script);
    void storeSnapshot(const QVariant& result);

    QWebEngineView* view_;
    Page* page_;
    bool busy_ = false;
    bool loadSucceeded_ = true;
    quint64 serial_ = 0;  // counts loads, so that late snapshots of old pages are dropped
    Profile profile_;
    QString bodyHtml_;
    QString bodyText_;
    QUrl pageUrl_;
    QString pageTitle_;
    // Script callbacks still pending when the view goes away are answered
    // while its page is destroyed; they check this token first.
    std::shared_ptr<int> alive_ = std::make_shared<int>();
};
