#include "update/core/signature.h"

#include "updatekey_config.h"

#include <QByteArrayList>
#include <QFile>

#include <sodium.h>

#include <algorithm>

namespace update {

namespace {

const QByteArray kUntrustedPrefix = QByteArrayLiteral("untrusted comment: ");
const QByteArray kTrustedPrefix = QByteArrayLiteral("trusted comment: ");
const QByteArray kLegacyAlgorithm = QByteArrayLiteral("Ed");
const QByteArray kPrehashedAlgorithm = QByteArrayLiteral("ED");
constexpr qsizetype kAlgorithmBytes = 2;
constexpr qsizetype kKeyIdBytes = 8;
constexpr qsizetype kKeyBytes = crypto_sign_PUBLICKEYBYTES;
constexpr qsizetype kSignatureBytes = crypto_sign_BYTES;
constexpr qsizetype kHashBytes = crypto_generichash_BYTES_MAX;  // BLAKE2b-512

// libsodium must be set up once before use; later calls return at once.
bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

// Lines ended by LF, a CR before it dropped, as the signing tool writes and reads them.
QByteArrayList lines(const QByteArray& text)
{
    QByteArrayList result = text.split('\n');
    for (QByteArray& line : result) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return result;
}

Result<QByteArray> decodeBase64(const QByteArray& text, qsizetype expectedSize)
{
    const auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != expectedSize)
        return failure(QStringLiteral("签名数据不是有效的 Base64 编码，或长度不对。"));
    return decoded.decoded;
}

bool verifyDetached(const QByteArray& signature, const QByteArray& message, const PublicKey& key)
{
    return crypto_sign_verify_detached(reinterpret_cast<const unsigned char*>(signature.constData()),
                                       reinterpret_cast<const unsigned char*>(message.constData()),
                                       quint64(message.size()),
                                       reinterpret_cast<const unsigned char*>(key.key.constData()))
        == 0;
}

QString keyIdText(const QByteArray& keyId)
{
    // The tool prints the id as a little-endian number in hexadecimal.
    QByteArray reversed = keyId;
    std::reverse(reversed.begin(), reversed.end());
    return QString::fromLatin1(reversed.toHex().toUpper());
}

}  // namespace

QString builtInPublicKey() { return QStringLiteral(TROVALIS_UPDATE_PUBLIC_KEY); }

Result<PublicKey> readPublicKey(const QByteArray& text)
{
    const QByteArrayList all = lines(text.trimmed());
    QByteArray line = all.value(0).trimmed();
    if (all.size() > 1) {
        if (!all.at(0).startsWith(kUntrustedPrefix))
            return failure(QStringLiteral("公钥文件的第一行应是“untrusted comment: ”开头的注释。"));
        line = all.at(1).trimmed();
    }
    if (line.isEmpty())
        return failure(QStringLiteral("没有公钥。"));
    const Result<QByteArray> bytes = decodeBase64(line, kAlgorithmBytes + kKeyIdBytes + kKeyBytes);
    if (!bytes)
        return failure(QStringLiteral("公钥格式不对：") + bytes.error());
    if (bytes->left(kAlgorithmBytes) != kLegacyAlgorithm)
        return failure(QStringLiteral("公钥不是 Ed25519 公钥。"));
    return PublicKey{bytes->mid(kAlgorithmBytes, kKeyIdBytes), bytes->mid(kAlgorithmBytes + kKeyIdBytes)};
}

Result<Signature> readSignature(const QByteArray& text)
{
    if (text.size() > kMaxSignatureFileSize)
        return failure(QStringLiteral("签名文件过长。"));
    const QByteArrayList all = lines(text);
    if (all.size() < 4)
        return failure(QStringLiteral("签名文件不完整。"));
    if (!all.at(0).startsWith(kUntrustedPrefix))
        return failure(QStringLiteral("签名文件的第一行应是“untrusted comment: ”开头的注释。"));
    if (!all.at(2).startsWith(kTrustedPrefix))
        return failure(QStringLiteral("签名文件的第三行应是“trusted comment: ”开头的可信注释。"));

    const Result<QByteArray> main =
        decodeBase64(all.at(1).trimmed(), kAlgorithmBytes + kKeyIdBytes + kSignatureBytes);
    if (!main)
        return failure(main.error());
    const Result<QByteArray> global = decodeBase64(all.at(3).trimmed(), kSignatureBytes);
    if (!global)
        return failure(global.error());
    const QByteArray algorithm = main->left(kAlgorithmBytes);
    if (algorithm != kPrehashedAlgorithm && algorithm != kLegacyAlgorithm)
        return failure(QStringLiteral("不支持的签名算法。"));

    Signature signature;
    signature.prehashed = algorithm == kPrehashedAlgorithm;
    signature.keyId = main->mid(kAlgorithmBytes, kKeyIdBytes);
    signature.signature = main->mid(kAlgorithmBytes + kKeyIdBytes);
    signature.trustedComment = all.at(2).mid(kTrustedPrefix.size());
    signature.globalSignature = *global;
    return signature;
}

QString signedFileName(const Signature& signature)
{
    static const QByteArray kFileField = QByteArrayLiteral("file:");
    for (const QByteArray& field : signature.trustedComment.split('\t')) {
        if (field.startsWith(kFileField))
            return QString::fromUtf8(field.mid(kFileField.size()));
    }
    return {};
}

Result<void> checkSignedName(const Signature& signature, const QString& name)
{
    const QString signedName = signedFileName(signature);
    if (!signedName.isEmpty() && signedName != name)
        return failure(QStringLiteral("这是 %1 的签名，不是 %2 的。").arg(signedName, name));
    return {};
}

struct SignatureCheck::State {
    Signature signature;
    PublicKey key;
    crypto_generichash_state hash;
    QByteArray content;  // the older form signs the content itself: it is kept whole
};

SignatureCheck::SignatureCheck(const Signature& signature, const PublicKey& key)
    : state_(std::make_unique<State>(State{signature, key, {}, {}}))
{
    if (sodiumReady())
        crypto_generichash_init(&state_->hash, nullptr, 0, kHashBytes);
}

SignatureCheck::~SignatureCheck() = default;

void SignatureCheck::add(const char* data, qsizetype size)
{
    if (state_->signature.prehashed)
        crypto_generichash_update(&state_->hash, reinterpret_cast<const unsigned char*>(data), quint64(size));
    else
        state_->content.append(data, size);
}

Result<void> SignatureCheck::finish()
{
    if (!sodiumReady())
        return failure(QStringLiteral("无法初始化签名校验。"));
    const Signature& signature = state_->signature;
    const PublicKey& key = state_->key;
    if (signature.keyId != key.keyId) {
        return failure(QStringLiteral("签名来自另一把密钥（%1），不是本程序信任的密钥（%2）。")
                           .arg(keyIdText(signature.keyId), keyIdText(key.keyId)));
    }
    if (!verifyDetached(signature.globalSignature, signature.signature + signature.trustedComment, key))
        return failure(QStringLiteral("签名或其可信注释已被改动。"));
    QByteArray message = state_->content;
    if (signature.prehashed) {
        message.resize(kHashBytes);
        crypto_generichash_final(&state_->hash, reinterpret_cast<unsigned char*>(message.data()), kHashBytes);
    }
    if (!verifyDetached(signature.signature, message, key))
        return failure(QStringLiteral("文件内容与签名不符。"));
    return {};
}

Result<void> verify(const QByteArray& content, const QByteArray& signatureText, const PublicKey& key)
{
    const Result<Signature> signature = readSignature(signatureText);
    if (!signature)
        return failure(signature.error());
    SignatureCheck check(*signature, key);
    check.add(content);
    return check.finish();
}

Result<void> verifyFile(const QString& path, const QByteArray& signatureText, const PublicKey& key)
{
    const Result<Signature> signature = readSignature(signatureText);
    if (!signature)
        return failure(signature.error());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(QStringLiteral("无法读取 %1：%2").arg(path, file.errorString()));
    SignatureCheck check(*signature, key);
    QByteArray buffer(64 * 1024, Qt::Uninitialized);
    for (;;) {
        const qint64 count = file.read(buffer.data(), buffer.size());
        if (count < 0)
            return failure(QStringLiteral("无法读取 %1：%2").arg(path, file.errorString()));
        if (count == 0)
            break;
        check.add(buffer.constData(), count);
    }
    return check.finish();
}

}  // namespace update
