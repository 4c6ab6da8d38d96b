#pragma once
// A real HTTP server on 127.0.0.1 and a free port, running on its own thread,
// for tests that need a search service or the vendor's servers.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QUrl>

#include <functional>
#include <map>
#include <memory>

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

class FixtureServer {
public:
    struct Reply {
        int status = 200;
        QByteArray body;
        QByteArray contentType = "text/html; charset=utf-8";
        int delayMs = 0;              // wait before answering
        qint64 declaredLength = -1;   // >= 0: send this Content-Length, then only `body` and close
        bool dropConnection = false;  // close without any answer
        QList<QPair<QByteArray, QByteArray>> headers;  // sent as given (a redirect's Location)
    };
    using Handler = std::function<Reply(const QString& path, const QString& query)>;

    FixtureServer();
    // On a given port, for a program whose server address is built in; port() is 0
    // when that port is taken.
    explicit FixtureServer(int port);
    ~FixtureServer();
    FixtureServer(const FixtureServer&) = delete;
    FixtureServer& operator=(const FixtureServer&) = delete;

    // Serves `reply` for GET `path` (exact path, any query).
    void serve(const QString& path, const Reply& reply);
    void serve(const QString& path, const QByteArray& body,
               const QByteArray& contentType = "text/html; charset=utf-8");
    // Serves every file below `dir` (".asp" and ".html" as HTML).
    void serveDirectory(const QString& dir);
    // Answers every path not otherwise served.
    void setFallback(Handler handler);

    QString base() const;  // "http://127.0.0.1:PORT"
    QUrl url(const QString& pathAndQuery) const;
    int port() const { return port_; }
    int hits(const QString& path) const;  // GET requests seen for a path
    QStringList requests() const;         // "path?query" of every request, in order

private:
    struct State;
    std::unique_ptr<State> state_;
    int port_ = 0;
};
