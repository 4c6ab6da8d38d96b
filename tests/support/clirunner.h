#pragma once
// Runs the real trovalis-cli binary (its path comes from ctest in TROVALIS_CLI).

#include <QString>
#include <QStringList>

namespace clirunner {

struct Run {
    int exitCode = -1;
    QString out;  // stdout, UTF-8 decoded
    QString err;  // stderr, UTF-8 decoded
};

QString path();
Run run(const QStringList& args, int timeoutMs = 60000);

}  // namespace clirunner

// Skips the calling test when the binary's path is unknown (run outside ctest).
#define SKIP_WITHOUT_CLI()                                                                                   \
    if (clirunner::path().isEmpty())                                                                         \
        QSKIP("TROVALIS_CLI is not set; run the test through ctest");
