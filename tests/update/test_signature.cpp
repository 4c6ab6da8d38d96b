// Update signatures as Debian's minisign tool writes them: both algorithms,
// trusted comments, keys in both forms, and every way a signature can fail
// to vouch for a file.

#include "support/testdata.h"
#include "support/updatesigning.h"
#include "update/core/signature.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace update;

namespace {

PublicKey demoKey()
{
    const Result<PublicKey> key = readPublicKey(signing::demoPublicKey().toLatin1());
    if (!key)
        qFatal("demo key does not read: %s", qPrintable(key.error()));
    return *key;
}

// Replaces line `index` (0-based) of a signature file.
QByteArray withLine(const QByteArray& signature, int index, const QByteArray& line)
{
    QByteArrayList lines = signature.split('\n');
    lines[index] = line;
    return lines.join('\n');
}

// Flips one bit of the decoded base64 line `index` at byte `at`.
QByteArray flipDecoded(const QByteArray& signature, int index, int at)
{
    QByteArray bytes = QByteArray::fromBase64(signature.split('\n').at(index));
    bytes[at] = char(bytes.at(at) ^ 0x01);
    return withLine(signature, index, bytes.toBase64());
}

QByteArray patterned(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 131 + i / 251) & 0xff);
    return bytes;
}

}  // namespace

class TestSignature : public QObject {
    Q_OBJECT
private slots:
    void goodSignatures_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("crlf");
        QTest::newRow("prehashed") << QByteArray("new program") << QStringList() << false;
        QTest::newRow("older form") << QByteArray("new program") << QStringList{"-l"} << false;
        QTest::newRow("empty file") << QByteArray() << QStringList() << false;
        QTest::newRow("trusted comment in Chinese")
            << QByteArray("x") << QStringList{"-t", u"版本 20170324 的更新"_qs} << false;
        QTest::newRow("CR LF line ends") << QByteArray("manifest\r\n") << QStringList() << true;
        QTest::newRow("large, older form") << patterned(300000) << QStringList{"-l"} << false;
        QTest::newRow("large, prehashed") << patterned(300000) << QStringList() << false;
    }
    void goodSignatures()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, options);
        QFETCH(bool, crlf);
        QByteArray signature = signing::sign(content, signing::demoSecretKey(), options);
        if (crlf)
            signature.replace("\n", "\r\n");
        const Result<Signature> read = readSignature(signature);
        QVERIFY2(read, qPrintable(read.error()));
        QCOMPARE(read->prehashed, !options.contains("-l"));
        if (options.contains("-t"))
            QCOMPARE(QString::fromUtf8(read->trustedComment), options.last());

        const Result<void> whole = verify(content, signature, demoKey());
        QVERIFY2(whole, qPrintable(whole.error()));
        QTemporaryDir dir;
        testdata::writeFile(dir.filePath("f"), content);
        const Result<void> file = verifyFile(dir.filePath("f"), signature, demoKey());
        QVERIFY2(file, qPrintable(file.error()));
        // Pieces of odd sizes, as a download delivers them, give the same answer.
        SignatureCheck check(*read, demoKey());
        for (qsizetype at = 0; at < content.size(); at += 7777)
            check.add(content.mid(at, 7777));
        QVERIFY(check.finish());
    }

    void refused_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("signature");
        QTest::addColumn<QString>("reason");  // a part of the reason given
        const QByteArray content = "new program";
        const QByteArray good = signing::sign(content);
        QTemporaryDir dir;
        const signing::KeyPair other = signing::makeKeyPair(dir.path());
        const QByteArray byOther = signing::sign(content, other.secretKey);

        QTest::newRow("content changed") << QByteArray("new program!") << good << u"文件内容与签名不符"_qs;
        QTest::newRow("another key") << content << byOther << u"另一把密钥"_qs;
        // Another key's signature passed off under our key id still fails.
        QByteArray forged = QByteArray::fromBase64(byOther.split('\n').at(1));
        forged.replace(2, 8, QByteArray::fromBase64(good.split('\n').at(1)).mid(2, 8));
        QTest::newRow("another key, our key id")
            << content << withLine(byOther, 1, forged.toBase64()) << u"已被改动"_qs;
        QTest::newRow("trusted comment changed")
            << content << withLine(good, 2, "trusted comment: timestamp:1\tfile:Temp.png\thashed")
            << u"已被改动"_qs;
        // The second signature covers the first, so a changed first one is caught there.
        QTest::newRow("signature bytes changed") << content << flipDecoded(good, 1, 40) << u"已被改动"_qs;
        QTest::newRow("global signature changed") << content << flipDecoded(good, 3, 5) << u"已被改动"_qs;
        QTest::newRow("algorithm changed to the older form")
            << content
            << withLine(good, 1, ("Ed" + QByteArray::fromBase64(good.split('\n').at(1)).mid(2)).toBase64())
            << u"文件内容与签名不符"_qs;
        QTest::newRow("unknown algorithm")
            << content
            << withLine(good, 1, ("Ex" + QByteArray::fromBase64(good.split('\n').at(1)).mid(2)).toBase64())
            << u"不支持的签名算法"_qs;
        QTest::newRow("empty") << content << QByteArray() << u"不完整"_qs;
        QTest::newRow("not base64") << content << withLine(good, 1, "RW!!notbase64") << u"Base64"_qs;
        QTest::newRow("signature cut short")
            << content << withLine(good, 1, good.split('\n').at(1).left(40)) << u"长度不对"_qs;
        QTest::newRow("no trusted comment")
            << content << withLine(good, 2, "timestamp:1") << u"trusted comment"_qs;
        QTest::newRow("far too long")
            << content << good + QByteArray(kMaxSignatureFileSize, 'x') << u"过长"_qs;
        QTest::newRow("an HTML error page")
            << content << QByteArray("<html><body>404 Not Found</body></html>\n") << u"不完整"_qs;
    }
    void refused()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, signature);
        QFETCH(QString, reason);
        const Result<void> result = verify(content, signature, demoKey());
        QVERIFY(!result);
        QVERIFY2(result.error().contains(reason), qPrintable(result.error()));
        QTemporaryDir dir;
        testdata::writeFile(dir.filePath("f"), content);
        QVERIFY(!verifyFile(dir.filePath("f"), signature, demoKey()));
    }

    void publicKeys_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");
        const QByteArray file = testdata::readFile(signing::demoPublicKeyFile());
        const QByteArray line = signing::demoPublicKey().toLatin1();
        QTest::newRow("base64 form") << line << true;
        QTest::newRow("public-key file") << file << true;
        QTest::newRow("public-key file, CR LF") << QByteArray(file).replace("\n", "\r\n") << true;
        QTest::newRow("empty") << QByteArray() << false;
        QTest::newRow("first line not a comment") << "comment\n" + line << false;
        QTest::newRow("cut short") << line.left(40) << false;
        QTest::newRow("not a signing key")
            << ("Xx" + QByteArray::fromBase64(line).mid(2)).toBase64() << false;
        QTest::newRow("a signature instead of a key") << signing::sign("x").split('\n').at(1) << false;
    }
    void publicKeys()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);
        const Result<PublicKey> key = readPublicKey(text);
        QCOMPARE(key.ok(), valid);
        if (valid) {
            QCOMPARE(key->keyId, demoKey().keyId);
            QCOMPARE(key->key, demoKey().key);
        } else {
            QVERIFY(!key.error().isEmpty());
        }
    }

    // The name the tool records must be the name the file is served by; a
    // comment of the vendor's own names no file and leaves the name unchecked.
    void signedNames()
    {
        const Result<Signature> named = readSignature(signing::signAs(u"更新说明.txt"_qs, "x"));
        QVERIFY(named);
        QCOMPARE(signedFileName(*named), u"更新说明.txt"_qs);
        QVERIFY(checkSignedName(*named, u"更新说明.txt"_qs));
        const Result<void> other = checkSignedName(*named, "Temp.png");
        QVERIFY(!other);
        QVERIFY(other.error().contains(u"更新说明.txt"_qs));
        const Result<Signature> own =
            readSignature(signing::sign("x", signing::demoSecretKey(), {"-t", "release 20170324"}));
        QVERIFY(own);
        QCOMPARE(signedFileName(*own), QString());
        QVERIFY(checkSignedName(*own, "Temp.png"));
    }

    // Every file the vendor's tree signs still matches its signature: a file
    // edited without signing it again would make every update check fail.
    void vendorTreeIsSigned()
    {
        const QDir trvs(testdata::sourceDir() + "/server/trvs");
        const QStringList signatures = trvs.entryList({"*.minisig"}, QDir::Files);
        QVERIFY(signatures.contains("UpdateInfor.inf.minisig"));
        for (const QString& name : signatures) {
            const QString file = trvs.filePath(name.chopped(kSignatureSuffix.size()));
            const Result<void> result = verifyFile(file, testdata::readFile(trvs.filePath(name)), demoKey());
            QVERIFY2(result, qPrintable(file + ": " + result.error()));
        }
    }

    // The key compiled into this build must read, or no update could ever pass.
    void builtInKeyReads()
    {
        QVERIFY2(readPublicKey(builtInPublicKey().toLatin1()), qPrintable(builtInPublicKey()));
    }
};

QTEST_GUILESS_MAIN(TestSignature)
#include "test_signature.moc"
