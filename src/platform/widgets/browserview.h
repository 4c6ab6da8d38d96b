#pragma once
// The embedded browser over Qt WebEngine. When a load finishes, the body's
// markup and text are captured by script; `downloadComplete` is raised only
// after that snapshot has arrived, so the synchronous reads below always answer
// from the page that just finished.

#include <QUrl>
#include <QWebEngineView>

class BrowserView : public QWebEngineView {
    Q_OBJECT
public:
    explicit BrowserView(QWidget* parent = nullptr);

    void navigate(const QUrl& url);   // returns at once
    bool busy() const;                // a navigation or snapshot still running
    void setSilent(bool silent);      // no dialogs of the page's own (alerts, script errors)
    bool silent() const;
    void reloadPage();

    void writeDocument(const QString& html);  // "" blanks the page
    void pasteHtml(const QString& fragment);  // at the insertion point, each after the previous

    QString bodyHtml() const;   // snapshot of body.innerHTML
    QString bodyText() const;   // snapshot of body.innerText

signals:
    void downloadBegin();
    void downloadComplete();
    // A page asked for a new window. Set *processed to true to stop it opening.
    void newWindowRequested(const QUrl& url, bool* processed);
};
