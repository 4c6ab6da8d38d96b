#pragma once
// Signatures for update tests, made by Debian's real minisign tool with the
// demo key in scripts/ (or a key pair made on the spot), so the client is
// checked against what a vendor's tool writes, not against our own writer.

#include "support/fixtureserver.h"
#include "support/testdata.h"

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace signing {

inline QString demoSecretKey() { return testdata::sourceDir() + "/scripts/demo-update-key.DO-NOT-USE.key"; }
inline QString demoPublicKeyFile()
{
    return testdata::sourceDir() + "/scripts/demo-update-key.DO-NOT-USE.pub";
}
// The key in the form a build setting holds it: the public-key file's second line.
inline QString demoPublicKey()
{
    return QString::fromLatin1(testdata::readFile(demoPublicKeyFile()).split('\n').value(1).trimmed());
}

inline void runMinisign(const QStringList& arguments, const QString& workingDirectory)
{
    QProcess tool;
    tool.setWorkingDirectory(workingDirectory);
    tool.setStandardInputFile(QProcess::nullDevice());
    tool.start(QStringLiteral("minisign"), arguments);
    if (!tool.waitForStarted(10000))
        qFatal("cannot start minisign (scripts/deps.sh installs it)");
    tool.waitForFinished(30000);
    if (tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        qFatal("minisign %s failed: %s", qPrintable(arguments.join(' ')),
               tool.readAllStandardError().constData());
}

// The .minisig content for `content`, signed as a file called `name` (the
// tool records the name in the trusted comment); `extra` adds options such as
// "-l" (the older form) or "-t" with a trusted comment of one's own.
inline QByteArray sign(const QByteArray& content, const QString& secretKey = demoSecretKey(),
                       const QStringList& extra = {}, const QString& name = QStringLiteral("file"))
{
    QTemporaryDir dir;
    testdata::writeFile(dir.filePath(name), content);
    runMinisign(QStringList{"-S", "-s", secretKey, "-m", name, "-x", "signature"} + extra, dir.path());
    return testdata::readFile(dir.filePath("signature"));
}
inline QByteArray signAs(const QString& name, const QByteArray& content)
{
    return sign(content, demoSecretKey(), {}, name);
}

// A fresh unencrypted key pair, kept in `folder`.
struct KeyPair {
    QString secretKey;  // path
    QString publicKey;  // the base64 form
};
inline KeyPair makeKeyPair(const QString& folder)
{
    runMinisign({"-G", "-W", "-f", "-p", "other.pub", "-s", "other.key"}, folder);
    const QByteArray pub = testdata::readFile(folder + "/other.pub");
    return {folder + "/other.key", QString::fromLatin1(pub.split('\n').value(1).trimmed())};
}

// Serves `body` at `path` and its signature by the demo key at path + ".minisig".
inline void serveSigned(FixtureServer& server, const QString& path, const QByteArray& body,
                        const QByteArray& contentType = "application/octet-stream")
{
    server.serve(path, body, contentType);
    server.serve(path + ".minisig", signAs(path.section(u'/', -1), body), "application/octet-stream");
}

}  // namespace signing
