#include "report/ui/reportwindow.h"

#include "platform/widgets/dialogs.h"
#include "report/core/reportfile.h"

#include <QDesktopServices>
#include <QVBoxLayout>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

// Lets only the report itself load; every other address is handed to the
// user's browser, so that the window keeps showing the report.
class ReportWindow::Page : public QWebEnginePage {
public:
    Page(QWebEngineProfile* profile, ReportWindow* window, QObject* parent)
        : QWebEnginePage(profile, parent), window_(window)
    {
        connect(this, &QWebEnginePage::newWindowRequested, this,
                [this](QWebEngineNewWindowRequest& request) { handOver(request.requestedUrl()); });
    }

    QUrl reportUrl;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override
    {
        if (!isMainFrame || url == reportUrl)
            return true;
        handOver(url);
        return false;
    }

private:
    void handOver(const QUrl& url)
    {
        if (window_->openInBrowser && !window_->openInBrowser(url))
            dialogs::message(window_, QStringLiteral("无法打开链接：") + url.toDisplayString(), {},
                             dialogs::Icon::Warning);
    }

    ReportWindow* window_;
};

ReportWindow::ReportWindow(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("检测报告"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    openInBrowser = [](const QUrl& url) { return QDesktopServices::openUrl(url); };

    view_ = new QWebEngineView(this);
    // Off the record: the report page keeps nothing in the user's profile.
    auto* profile = new QWebEngineProfile(this);
    view_->setPage(new Page(profile, this, view_));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    resize(900, 700);
    connect(view_, &QWebEngineView::loadFinished, this, &ReportWindow::loaded);
}

ReportWindow::~ReportWindow()
{
    // The page (the view's child) goes before its profile and the file it shows.
    delete view_;
}

void ReportWindow::showReport(const QByteArray& html)
{
    auto dir = std::make_unique<QTemporaryDir>();
    const QString path = dir->filePath(QStringLiteral("report.html"));
    if (!dir->isValid() || !reportfile::write(html, path)) {
        dialogs::message(this, QStringLiteral("检测报告无法显示：临时文件无法写入。"), {},
                         dialogs::Icon::Warning);
        emit loaded(false);
        return;
    }
    dir_ = std::move(dir);
    auto* page = static_cast<Page*>(view_->page());
    page->reportUrl = QUrl::fromLocalFile(path);
    page->load(page->reportUrl);
}
