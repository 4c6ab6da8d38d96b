// Every test program gets a user data folder of its own, made afresh and
// removed when it ends: the checks a window test saves and the browser's kept
// profile never reach the user's data folder, nor the next run of the test.

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtGlobal>

namespace {

const QString kPrefix = QStringLiteral("trovalis-test-data-");

// The browser engine may still write its profile after the folder has been
// removed at the end of a program (measured: a few hundred KB left behind by
// programs that use the kept profile). Such folders are cleared by the next
// test program once they are an hour old, far beyond any test's time limit.
void removeStaleFolders()
{
    const QDateTime stale = QDateTime::currentDateTimeUtc().addSecs(-3600);
    for (const QFileInfo& info :
         QDir::temp().entryInfoList({kPrefix + u'*'}, QDir::Dirs | QDir::NoDotAndDotDot))
        if (info.lastModified().toUTC() < stale)
            QDir(info.absoluteFilePath()).removeRecursively();
}

struct IsolatedDataHome {
    QTemporaryDir dir{(removeStaleFolders(), QDir::tempPath() + u'/' + kPrefix + QStringLiteral("XXXXXX"))};
    IsolatedDataHome()
    {
        if (dir.isValid())
            qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path()));
    }
};

const IsolatedDataHome kDataHome;

}  // namespace
