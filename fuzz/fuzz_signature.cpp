// Update signatures and public keys as they arrive from the update server or
// a build setting: the input is a signature file, then "\n--\n", then either a
// public key or content to check. Nothing may crash, and a signature that
// vouches for some content must not vouch for that content changed.
#include "fuzzsupport.h"
#include "update/core/signature.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const auto [signatureText, rest] = fuzz::splitInTwo(fuzz::bytes(data, size));

    const Result<update::Signature> signature = update::readSignature(signatureText);
    if (signature) {
        fuzz::check(signature->keyId.size() == 8 && signature->signature.size() == 64
                        && signature->globalSignature.size() == 64,
                    "a signature that reads has its parts whole");
    }
    const Result<update::PublicKey> key = update::readPublicKey(rest);
    if (key)
        fuzz::check(key->keyId.size() == 8 && key->key.size() == 32, "a key that reads has its parts whole");

    const Result<update::PublicKey> builtIn = update::readPublicKey(update::builtInPublicKey().toLatin1());
    fuzz::check(bool(builtIn), "the built-in key reads");
    for (const update::PublicKey& candidate : {key ? *key : *builtIn, *builtIn}) {
        if (update::verify(rest, signatureText, candidate))
            fuzz::check(!update::verify(rest + '\0', signatureText, candidate), "a changed file is refused");
    }
    return 0;
}
