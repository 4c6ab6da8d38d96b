// Every test program gets a user data folder of its own, made afresh and
// removed when it ends: the checks a window test saves and the browser's kept
// profile never reach the user's data folder, nor the next run of the test.

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

namespace {

struct IsolatedDataHome {
    QTemporaryDir dir{QDir::tempPath() + QStringLiteral("/trovalis-test-data-XXXXXX")};
    IsolatedDataHome()
    {
        if (dir.isValid())
            qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
    }
};

const IsolatedDataHome kDataHome;

}  // namespace
