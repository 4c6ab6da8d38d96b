#include "support/taggedcheck.h"

#include "mainwindow/ui/form1.h"
#include "platform/widgets/dialogs.h"
#include "platform/widgets/richeditor.h"
#include "support/resultpages.h"

#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

namespace taggedcheck {

QString tag(int index, const QString& prefix, int width)
{
    return prefix + QString::number(index + 1).rightJustified(width, u'0');
}

QString piece(const QString& tag, int length) { return tag + resultpages::filler(length - int(tag.size())); }

QString paper(int count)
{
    QString text;
    for (int i = 0; i < count; ++i)
        text += piece(tag(i));
    return text;
}

QString tagOfQuery(const QString& query)
{
    const bool first = query.startsWith(u"wd=");
    qsizetype at = first ? 0 : query.indexOf(u"&wd=");
    if (at < 0)
        return {};
    at += first ? 3 : 4;
    const auto isTagChar = [](QChar c) { return c.unicode() < 128 && c.isLetterOrNumber(); };
    while (at < query.size() && query[at] != u'&' && !isTagChar(query[at]))
        ++at;
    qsizetype end = at;
    while (end < query.size() && isTagChar(query[end]))
        ++end;
    return query.mid(at, end - at);
}

QByteArray figurePage(const QString& tag, double figure)
{
    QList<resultpages::Result> results = resultpages::numberedResults(3);
    results[0].title = tag + QStringLiteral("的网站");
    results[1].snippet = resultpages::highlight(qRound(figure * 3.8));
    return resultpages::page(resultpages::body(results));
}

SearchService::SearchService(Figures figures) : figures_(std::move(figures))
{
    server_.setFallback([this](const QString& path, const QString& query) {
        return path == u"/s" ? answer(query) : FixtureServer::Reply{};
    });
}

SearchService::~SearchService() = default;

FixtureServer::Reply SearchService::answer(const QString& query)
{
    const QString tag = tagOfQuery(query);
    Interceptor interceptor;
    Pages pages;
    int n = 0;
    int delayMs = 0;
    {
        std::lock_guard lock(mutex_);
        queried_ << tag;
        n = int(queried_.size());
        interceptor = interceptor_;
        pages = pages_;
        delayMs = delayMs_;
    }
    if (interceptor) {
        if (std::optional<FixtureServer::Reply> other = interceptor(n))
            return *other;
    }
    FixtureServer::Reply reply;
    reply.body = pages ? pages(tag) : figurePage(tag, figureOf(tag));
    reply.delayMs = delayMs;
    return reply;
}

void SearchService::setFigures(Figures figures)
{
    std::lock_guard lock(mutex_);
    figures_ = std::move(figures);
}

void SearchService::setFigure(const QString& tag, double figure)
{
    std::lock_guard lock(mutex_);
    overrides_[tag] = figure;
}

void SearchService::setPages(Pages pages)
{
    std::lock_guard lock(mutex_);
    pages_ = std::move(pages);
}

void SearchService::setInterceptor(Interceptor interceptor)
{
    std::lock_guard lock(mutex_);
    interceptor_ = std::move(interceptor);
}

void SearchService::setDelay(int ms)
{
    std::lock_guard lock(mutex_);
    delayMs_ = ms;
}

double SearchService::figureOf(const QString& tag) const
{
    Figures figures;
    {
        std::lock_guard lock(mutex_);
        if (const auto o = overrides_.find(tag); o != overrides_.end())
            return o->second;
        figures = figures_;
    }
    return figures ? figures(tag) : 0;
}

int SearchService::queries() const
{
    std::lock_guard lock(mutex_);
    return int(queried_.size());
}

QStringList SearchService::queried() const
{
    std::lock_guard lock(mutex_);
    return queried_;
}

QStringList SearchService::takeQueried()
{
    std::lock_guard lock(mutex_);
    return std::exchange(queried_, {});
}

std::unique_ptr<Form1> formAgainst(const SearchService& service, const QString& dataFolder)
{
    static QTemporaryDir socketDir;
    Endpoints e = Endpoints::builtIn();
    e.baiduBase = service.server().base();
    e.vendorWebBase = service.server().base();
    auto form = std::make_unique<Form1>(e);
    form->executableName = QStringLiteral("trovalis-test");
    form->instanceServerName = socketDir.filePath(QStringLiteral("instance"));
    form->getProcessList = [] { return QString(); };
    form->endProgram = [] {};
    form->dataFolder = dataFolder;
    form->engine_Click(form->baidu);
    // An automatic run steps five times a second here instead of once: a tick
    // waits for the browser anyway, and nothing these tests check hangs on the
    // second between steps, which made their runs take minutes.
    form->Timer2.setInterval(200);
    form->resize(900, 600);
    form->show();
    return form;
}

void analyse(Form1& form, const QString& text)
{
    form.RichTextBox1->setText(text);
    form.Command1_Click();
}

bool runToTheEnd(Form1& form, int timeoutMs)
{
    dialogs::queueAnswer(dialogs::Answer::Ok);
    form.Command3_Click();
    if (!QTest::qWaitFor([&form] { return !form.session.autoRunning; }, timeoutMs))
        return false;
    const auto shown = dialogs::takeShownMessages();
    return std::any_of(shown.begin(), shown.end(),
                       [](const dialogs::Shown& m) { return m.text == QStringLiteral("本次对比结束！"); });
}

}  // namespace taggedcheck
