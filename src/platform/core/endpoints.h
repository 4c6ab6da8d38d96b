#pragma once
// Where the program talks to: the search services and the vendor's servers.
// Built in at compile time; the windows receive one value so tests can point
// them at loopback servers.

#include <QString>

struct Endpoints {
    QString baiduBase;      // Baidu web search, scheme and host
    QString wenkuBase;      // Baidu Wenku
    QString zhiwangBase;    // CNKI Scholar
    QString vendorWebBase;  // vendor web server: start-up request, exit page, statistics, thesaurus
    QString updateBase;     // vendor update server, ending in "/trvs"

    static Endpoints builtIn();

    QString startupRequestUrl() const;  // "/trvs/trvs.asp?id=20170323"
    QString exitPageUrl() const;
    QString statisticsPageUrl() const;  // "/trvs/tj.asp"
    QString thesaurusPageUrl() const;   // "/trvs/ck.asp"
};

namespace version {
inline constexpr int kMajor = 2017;
inline constexpr int kMinor = 3;
inline constexpr int kRevision = 23;
inline constexpr int kBuildNumber = 20170323;  // date stamp compared with the manifest
QString caption();                             // "Trovalis V2017.3.23"
}  // namespace version
