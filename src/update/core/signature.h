#pragma once
// Detached signatures of the update files, in the format of Debian's minisign
// tool, so that a vendor signs a release with `minisign -S -s KEY -m FILE`.
// The public key is "Ed" + an 8-byte key id + the 32-byte Ed25519 key, in
// base64. A signature file holds four lines: an untrusted comment, base64 of
// the algorithm ("ED": the signature covers BLAKE2b-512 of the file; "Ed",
// the older form: the file itself) + key id + 64-byte signature, the trusted
// comment, and base64 of a second signature over the first one followed by
// the trusted comment's text, so the comment cannot be changed either.

#include "platform/core/result.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace update {

// S.minisig travels beside every file S the update server offers.
inline const QString kSignatureSuffix = QStringLiteral(".minisig");
// A signature file is a few hundred bytes; the trusted comment may hold up to
// 8 KiB. Anything longer is not read.
inline constexpr qsizetype kMaxSignatureFileSize = 16 * 1024;

struct PublicKey {
    QByteArray keyId;  // 8 bytes, as in the signature
    QByteArray key;    // 32 bytes
};

struct Signature {
    bool prehashed = true;       // "ED"; false for the older "Ed"
    QByteArray keyId;            // 8 bytes
    QByteArray signature;        // 64 bytes
    QByteArray trustedComment;   // the text after "trusted comment: "
    QByteArray globalSignature;  // 64 bytes
};

// Reads a public key: the base64 line alone (as a build setting holds it) or a
// public-key file whose first line is an untrusted comment.
Result<PublicKey> readPublicKey(const QByteArray& text);
// The public key this build trusts (the CMake setting TROVALIS_UPDATE_PUBLIC_KEY).
QString builtInPublicKey();

Result<Signature> readSignature(const QByteArray& text);

// The file name that `minisign -S` records in the trusted comment
// ("timestamp:...<TAB>file:NAME"); empty when the comment names none (a
// vendor's own -t comment).
QString signedFileName(const Signature& signature);
// Refuses a signature made for a file of another name, so a server cannot
// pass one signed file off as another (the manifest or an archive as the new
// "Temp.png"). A comment that names no file leaves the name unchecked.
Result<void> checkSignedName(const Signature& signature, const QString& name);

// Checks content that arrives piece by piece against one signature: the key
// id and the trusted comment's signature at once, the content at the end.
class SignatureCheck {
public:
    SignatureCheck(const Signature& signature, const PublicKey& key);
    ~SignatureCheck();
    SignatureCheck(const SignatureCheck&) = delete;
    SignatureCheck& operator=(const SignatureCheck&) = delete;

    void add(const char* data, qsizetype size);
    void add(const QByteArray& bytes) { add(bytes.constData(), bytes.size()); }
    // Whether everything added is what the key's owner signed.
    Result<void> finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The whole content at once; `signatureText` is the .minisig file's content.
Result<void> verify(const QByteArray& content, const QByteArray& signatureText, const PublicKey& key);
// A file on disk, read in pieces.
Result<void> verifyFile(const QString& path, const QByteArray& signatureText, const PublicKey& key);

}  // namespace update
