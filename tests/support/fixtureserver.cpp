#include "support/fixtureserver.h"

#include <httplib.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMutex>
#include <QStringList>

#include <chrono>
#include <thread>

struct FixtureServer::State {
    httplib::Server server;
    std::thread thread;
    mutable QMutex mutex;
    std::map<QString, Reply> routes;
    Handler fallback;
    QStringList requests;
};

namespace {

QByteArray contentTypeFor(const QString& path)
{
    if (path.endsWith(QLatin1String(".asp")) || path.endsWith(QLatin1String(".html"))
        || path.endsWith(QLatin1String(".htm")))
        return "text/html; charset=utf-8";
    if (path.endsWith(QLatin1String(".txt")) || path.endsWith(QLatin1String(".inf")))
        return "text/plain";
    return "application/octet-stream";
}

void answer(const FixtureServer::Reply& reply, httplib::Response& res)
{
    if (reply.delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(reply.delayMs));
    res.status = reply.status;
    for (const auto& [name, value] : reply.headers)
        res.set_header(name.toStdString(), value.toStdString());
    if (reply.dropConnection) {
        res.set_chunked_content_provider(reply.contentType.toStdString(),
                                         [](size_t, httplib::DataSink&) { return false; });
        return;
    }
    if (reply.declaredLength >= 0) {
        const std::string body = reply.body.toStdString();
        res.set_content_provider(static_cast<size_t>(reply.declaredLength), reply.contentType.toStdString(),
                                 [body](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset < body.size()) {
                                         sink.write(body.data() + offset, body.size() - offset);
                                         return true;
                                     }
                                     return false;  // promised more than we have: cut the connection
                                 });
        return;
    }
    res.set_content(reply.body.constData(), static_cast<size_t>(reply.body.size()),
                    reply.contentType.toStdString());
}

}  // namespace

FixtureServer::FixtureServer() : FixtureServer(0) { }

FixtureServer::FixtureServer(int fixedPort) : state_(std::make_unique<State>())
{
    State* s = state_.get();
    s->server.Get(".*", [s](const httplib::Request& req, httplib::Response& res) {
        const QString path = QString::fromStdString(req.path);
        QString query;
        for (const auto& [k, v] : req.params)
            query += (query.isEmpty() ? QString() : QStringLiteral("&")) + QString::fromStdString(k) + '='
                + QString::fromStdString(v);
        Reply reply;
        bool found = false;
        Handler fallback;
        {
            QMutexLocker lock(&s->mutex);
            s->requests << (query.isEmpty() ? path : path + '?' + query);
            auto it = s->routes.find(path);
            if (it != s->routes.end()) {
                reply = it->second;
                found = true;
            } else {
                fallback = s->fallback;
            }
        }
        if (!found) {
            if (fallback)
                reply = fallback(path, query);
            else
                reply = Reply{404, "not found", "text/plain"};
        }
        answer(reply, res);
    });
    if (fixedPort > 0) {
        port_ = s->server.bind_to_port("127.0.0.1", fixedPort) ? fixedPort : 0;
        if (!port_)
            return;
    } else {
        port_ = s->server.bind_to_any_port("127.0.0.1");
        if (port_ <= 0)
            qFatal("fixture server: cannot bind 127.0.0.1");
    }
    s->thread = std::thread([s] { s->server.listen_after_bind(); });
    while (!s->server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

FixtureServer::~FixtureServer()
{
    state_->server.stop();
    if (state_->thread.joinable())
        state_->thread.join();
}

void FixtureServer::serve(const QString& path, const Reply& reply)
{
    QMutexLocker lock(&state_->mutex);
    state_->routes[path] = reply;
}

void FixtureServer::serve(const QString& path, const QByteArray& body, const QByteArray& contentType)
{
    Reply r;
    r.body = body;
    r.contentType = contentType;
    serve(path, r);
}

void FixtureServer::serveDirectory(const QString& dir)
{
    QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        QFile f(file);
        if (!f.open(QIODevice::ReadOnly))
            continue;
        const QString rel = QLatin1Char('/') + QDir(dir).relativeFilePath(file);
        serve(rel, f.readAll(), contentTypeFor(rel));
    }
}

void FixtureServer::setFallback(Handler handler)
{
    QMutexLocker lock(&state_->mutex);
    state_->fallback = std::move(handler);
}

QString FixtureServer::base() const { return QStringLiteral("http://127.0.0.1:%1").arg(port_); }

QUrl FixtureServer::url(const QString& pathAndQuery) const { return QUrl(base() + pathAndQuery); }

int FixtureServer::hits(const QString& path) const
{
    QMutexLocker lock(&state_->mutex);
    int n = 0;
    for (const QString& r : state_->requests)
        n += r == path || r.startsWith(path + '?');
    return n;
}

QStringList FixtureServer::requests() const
{
    QMutexLocker lock(&state_->mutex);
    return state_->requests;
}
