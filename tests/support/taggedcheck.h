#pragma once
// A paper of tagged pieces checked through the real main window (offscreen)
// against a search service on 127.0.0.1 that logs the queries it gets and
// answers each piece with the figure chosen for its tag.
//
// A tag is a run of ASCII letters and digits inside a piece ("P01", "AAA"):
// the query keeps it as it is, so the service can tell the pieces apart.

#include "support/fixtureserver.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

class Form1;

namespace taggedcheck {

// The tag of piece `index` (from 0): `prefix`, then index + 1 in `width` digits ("P01").
QString tag(int index, const QString& prefix = QStringLiteral("P"), int width = 2);
// A piece of `length` characters (38, as the analysis cuts): the tag, then common
// Chinese characters.
QString piece(const QString& tag, int length = 38);
// `count` pieces tagged P01, P02, … one after the other.
QString paper(int count);
// The tag of a query: the first run of ASCII letters and digits in its sentence
// (the wd= field); empty when there is none.
QString tagOfQuery(const QString& query);

// A result page that gives a 38-character piece `figure` %: three results, the
// first titled TAG + "的网站" without summary, the second with figure × 3.8
// characters highlighted.
QByteArray figurePage(const QString& tag, double figure);

// The search service. Every query to /s is logged by its tag and answered with
// figurePage(tag, figure of the tag); other paths get an empty page.
class SearchService {
public:
    using Figures = std::function<double(const QString& tag)>;
    using Pages = std::function<QByteArray(const QString& tag)>;
    // Query number n (from 1) answered otherwise (a verification page), or not.
    using Interceptor = std::function<std::optional<FixtureServer::Reply>(int n)>;

    explicit SearchService(Figures figures = {});
    ~SearchService();
    SearchService(const SearchService&) = delete;
    SearchService& operator=(const SearchService&) = delete;

    FixtureServer& server() { return server_; }
    const FixtureServer& server() const { return server_; }

    void setFigures(Figures figures);                   // unset: 0 %
    void setFigure(const QString& tag, double figure);  // from now on, over setFigures
    void setPages(Pages pages);                         // pages of one's own instead of figurePage
    void setInterceptor(Interceptor interceptor);
    void setDelay(int ms);  // each answer to /s waits this long

    double figureOf(const QString& tag) const;  // as answered now
    int queries() const;                        // queries to /s so far
    QStringList queried() const;                // their tags, in order
    QStringList takeQueried();                  // the same, and starts counting afresh

private:
    FixtureServer::Reply answer(const QString& query);

    mutable std::mutex mutex_;
    Figures figures_;
    Pages pages_;
    Interceptor interceptor_;
    std::map<QString, double> overrides_;
    QStringList queried_;
    int delayMs_ = 0;
    FixtureServer server_;  // last: its thread stops before the rest goes
};

// The main window searching `service` through Baidu, keeping its checks in
// `dataFolder`, its single-instance socket in a folder of the test program's
// own; shown at 900 × 600.
std::unique_ptr<Form1> formAgainst(const SearchService& service, const QString& dataFolder);
// `text` put into the editor and analysed ("进行分析").
void analyse(Form1& form, const QString& text);
// "启动自动对比" run to its end, the closing message answered: true when the
// run ended within `timeoutMs` and said "本次对比结束！".
bool runToTheEnd(Form1& form, int timeoutMs = 60000);

}  // namespace taggedcheck
