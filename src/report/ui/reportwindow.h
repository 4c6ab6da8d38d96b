#pragma once
// The check report in a window of its own. The report is a page of ours: a
// link in it opens in the user's web browser, never inside this window.
// Qt WebEngine stays behind this widget.

#include <QByteArray>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>

#include <functional>
#include <memory>

class QWebEngineView;

class ReportWindow : public QWidget {
    Q_OBJECT
public:
    explicit ReportWindow(QWidget* parent = nullptr);
    ~ReportWindow() override;

    // Shows the report; `loaded` follows once the page is laid out.
    void showReport(const QByteArray& html);

    // Where a clicked link goes; default: the user's web browser. Tests replace it.
    std::function<bool(const QUrl&)> openInBrowser;

    QWebEngineView* view() const { return view_; }  // for tests that read the page

signals:
    void loaded(bool ok);

private:
    class Page;
    QWebEngineView* view_ = nullptr;
    std::unique_ptr<QTemporaryDir> dir_;  // holds the page's file while it is shown
};
