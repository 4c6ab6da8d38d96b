#include "platform/browser/browserview.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace {

// A JavaScript string literal holding `text` exactly.
QString jsString(const QString& text)
{
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

// Answers [body markup, body text, address, title]; a document without a
// body has empty markup and text.
const char kSnapshotExpression[] = "(function(){var b=document.body;return b?[b.innerHTML,b.innerText,"
                                   "location.href,document.title]:['','',location.href,document.title];})()";

QString& keptProfileFolder()
{
    static QString folder;
    return folder;
}

// Created on first use and owned by the application, so that it outlives
// every page that uses it; its cookies are written to disk as they change.
QWebEngineProfile* keptProfile()
{
    static QWebEngineProfile* profile = [] {
        QString folder = keptProfileFolder();
        if (folder.isEmpty())
            folder = QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
                         .filePath(QStringLiteral("browser"));
        auto* p = new QWebEngineProfile(QStringLiteral("trovalis"), QCoreApplication::instance());
        p->setPersistentStoragePath(QDir(folder).filePath(QStringLiteral("storage")));
        p->setCachePath(QDir(folder).filePath(QStringLiteral("cache")));
        // Session cookies too: a verification is often remembered in one.
        p->setPersistentCookiesPolicy(QWebEngineProfile::ForcePersistentCookies);
        return p;
    }();
    return profile;
}

}  // namespace

// Swallows the page's own dialogs and console output while silent, and routes
// new-window requests to newWindowRequested.
class BrowserView::Page : public QWebEnginePage {
public:
    explicit Page(QObject* parent) : QWebEnginePage(parent) { }
    Page(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) { }

    bool silent = false;

protected:
    void javaScriptAlert(const QUrl& origin, const QString& msg) override
    {
        if (!silent)
            QWebEnginePage::javaScriptAlert(origin, msg);
    }
    bool javaScriptConfirm(const QUrl& origin, const QString& msg) override
    {
        return silent ? false : QWebEnginePage::javaScriptConfirm(origin, msg);
    }
    bool javaScriptPrompt(const QUrl& origin, const QString& msg, const QString& defaultValue,
                          QString* result) override
    {
        return silent ? false : QWebEnginePage::javaScriptPrompt(origin, msg, defaultValue, result);
    }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int line,
                                  const QString& source) override
    {
        if (!silent)
            QWebEnginePage::javaScriptConsoleMessage(level, message, line, source);
    }
    QWebEnginePage* createWindow(WebWindowType) override
    {
        // No page here: the request then comes to newWindowRequested, which
        // knows the URL and lets the owner take it over.
        return nullptr;
    }
};

BrowserView::BrowserView(QWidget* parent, Profile profile)
    : QWidget(parent), view_(new QWebEngineView(this)),
      page_(profile == Profile::Kept ? new Page(keptProfile(), view_) : new Page(view_)), profile_(profile)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    view_->setPage(page_);
    setFocusProxy(view_);
    QWebEngineSettings* settings = page_->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
    // A failed load leaves an empty body rather than the engine's own error
    // page, so that callers see "no page" and not a page of error text.
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    connect(page_, &QWebEnginePage::loadStarted, this, &BrowserView::onLoadStarted);
    connect(page_, &QWebEnginePage::loadFinished, this, &BrowserView::onLoadFinished);
    connect(page_, &QWebEnginePage::newWindowRequested, this, &BrowserView::onNewWindowRequested);
}

BrowserView::~BrowserView() = default;

void BrowserView::setKeptProfileFolder(const QString& folder) { keptProfileFolder() = folder; }

QUrl BrowserView::url() const { return view_->url(); }

QWebEngineView* BrowserView::view() const { return view_; }

void BrowserView::navigate(const QUrl& url)
{
    busy_ = true;
    ++serial_;
    view_->load(url);
}

bool BrowserView::loadSucceeded() const { return loadSucceeded_; }

bool BrowserView::busy() const { return busy_; }

void BrowserView::setSilent(bool silent) { page_->silent = silent; }

bool BrowserView::silent() const { return page_->silent; }

void BrowserView::reloadPage()
{
    busy_ = true;
    ++serial_;
    view_->reload();
}

void BrowserView::stop() { view_->stop(); }

void BrowserView::writeDocument(const QString& html)
{
    const QString script = QStringLiteral("document.open();document.write(%1);document.close();%2")
                               .arg(jsString(html), QLatin1String(kSnapshotExpression));
    runAndStoreSnapshot(script);
}

void BrowserView::pasteHtml(const QString& fragment)
{
    // With a caret or selection in the body the fragment replaces it and the
    // caret moves behind it; otherwise it is appended to the body. Either way
    // the next paste lands after this one.
    static const char kPaste[] = R"((function(html){
  var body = document.body;
  if (!body) return;
  var sel = window.getSelection();
  if (sel && sel.rangeCount > 0 && body.contains(sel.getRangeAt(0).commonAncestorContainer)) {
    var range = sel.getRangeAt(0);
    range.deleteContents();
    var fragment = range.createContextualFragment(html);
    var last = fragment.lastChild;
    range.insertNode(fragment);
    if (last) {
      range.setStartAfter(last);
      range.collapse(true);
      sel.removeAllRanges();
      sel.addRange(range);
    }
  } else {
    body.insertAdjacentHTML('beforeend', html);
  }
})(%1);)";
    runAndStoreSnapshot(QString::fromUtf8(kPaste).arg(jsString(fragment))
                        + QLatin1String(kSnapshotExpression));
}

QString BrowserView::bodyHtml() const { return bodyHtml_; }

QString BrowserView::bodyText() const { return bodyText_; }

QUrl BrowserView::pageUrl() const { return pageUrl_; }

QString BrowserView::pageTitle() const { return pageTitle_; }

void BrowserView::onLoadStarted()
{
    busy_ = true;
    ++serial_;
    emit downloadBegin();
}

void BrowserView::onLoadFinished(bool ok)
{
    const quint64 serial = serial_;
    page_->runJavaScript(QLatin1String(kSnapshotExpression),
                         [this, alive = std::weak_ptr(alive_), serial, ok](const QVariant& v) {
                             if (alive.expired() || serial != serial_)
                                 return;  // a newer load has begun; its own snapshot will follow
                             storeSnapshot(v);
                             loadSucceeded_ = ok;
                             busy_ = false;
                             emit downloadComplete();
                         });
}

void BrowserView::runAndStoreSnapshot(const QString& script)
{
    const quint64 serial = serial_;
    page_->runJavaScript(script, [this, alive = std::weak_ptr(alive_), serial](const QVariant& v) {
        if (!alive.expired() && serial == serial_ && !busy_)
            storeSnapshot(v);
    });
}

void BrowserView::storeSnapshot(const QVariant& result)
{
    const QVariantList parts = result.toList();
    bodyHtml_ = parts.value(0).toString();
    bodyText_ = parts.value(1).toString();
    pageUrl_ = QUrl(parts.value(2).toString());
    pageTitle_ = parts.value(3).toString();
}

void BrowserView::onNewWindowRequested(QWebEngineNewWindowRequest& request)
{
    bool processed = false;
    emit newWindowRequested(request.requestedUrl(), &processed);
    if (processed)
        return;
    // The page opens in the profile of the page that asked.
    auto* window = new BrowserView(nullptr, profile_);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->resize(800, 600);
    request.openIn(window->page_);
    window->show();
}
