#include "app/cli/cli.h"

#include "platform/core/numberformat.h"
#include "update/core/manifest.h"
#include "update/core/numberprefix.h"
#include "update/core/signature.h"
#include "update/core/ziparchive.h"

#include <QFileInfo>

namespace cli {

// Reads a manifest file as the update window reads its local copy.
int manifest(const QStringList& args)
{
    if (wantsHelp(args,
                  QStringLiteral("usage: trovalis-cli manifest FILE\n"
                                 "Reads FILE as an update manifest; prints the number read from line 1,\n"
                                 "then \"newer\" or \"not newer\", then each file name it names.\n"
                                 "Names the update client refuses are reported on stderr.")))
        return kOk;
    const Result<QStringList> files = expectArguments(args, {QStringLiteral("FILE")});
    if (!files)
        return usageError(files.error());
    if (const Result<QByteArray> read = readBytes(files->first()); !read)
        return inputError(read.error());  // a clear error for a missing or unreadable file
    const update::UpdateTable table = update::readManifestFile(files->first());
    print(numfmt::format(update::readNumberPrefix(table[0])));
    print(update::isNewerVersion(table[0]) ? QStringLiteral("newer") : QStringLiteral("not newer"));
    const int count = update::fileCount(table);
    for (int slot = update::kFirstFileSlot; slot <= count + 1 && slot < update::kTableSlots; ++slot) {
        print(table[slot]);
        if (!update::isSafeFileName(table[slot]))
            printErr(QStringLiteral("refused name: \"%1\" (not a plain file name in the program folder)")
                         .arg(table[slot]));
    }
    return kOk;
}

// Unpacks an archive into a folder as an update does.
int unzip(const QStringList& args)
{
    if (wantsHelp(args,
                  QStringLiteral("usage: trovalis-cli unzip ARCHIVE DEST\n"
                                 "Unpacks the zip ARCHIVE into the folder DEST as an update does.\n"
                                 "Entries that would land outside DEST are refused and reported.")))
        return kOk;
    const Result<QStringList> arguments =
        expectArguments(args, {QStringLiteral("ARCHIVE"), QStringLiteral("DEST")});
    if (!arguments)
        return usageError(arguments.error());
    const QStringList& files = *arguments;
    if (!QFileInfo(files.at(0)).isFile())
        return inputError(QStringLiteral("cannot read %1").arg(files.at(0)));
    const update::ExtractResult result = update::extractZip(files.at(1), files.at(0));
    if (!result.opened)
        return inputError(QStringLiteral("%1 is not a readable zip archive").arg(files.at(0)));
    for (const QString& name : result.refused)
        printErr(QStringLiteral("refused entry \"%1\": it would land outside %2").arg(name, files.at(1)));
    if (!result.complete)
        printErr(result.error);
    return result.complete && result.refused.isEmpty() ? kOk : kBadInput;
}

// Checks a file against the signature beside it, as the update client checks a download.
int verify(const QStringList& args)
{
    if (wantsHelp(args,
                  QStringLiteral("usage: trovalis-cli verify FILE [--key PUBLICKEY]\n"
                                 "Checks FILE against FILE.minisig as the update client does, with the\n"
                                 "update key built into this program or with PUBLICKEY (minisign's\n"
                                 "public-key form, or a public-key file). Prints \"good\".")))
        return kOk;
    const Result<QStringList> files =
        expectArguments(args, {QStringLiteral("FILE")}, {QStringLiteral("--key")});
    if (!files)
        return usageError(files.error());
    const QString file = files->first();
    const QString keyText = hasFlag(args, QStringLiteral("--key")) ? flagValue(args, QStringLiteral("--key"))
                                                                   : update::builtInPublicKey();
    const Result<QByteArray> keyBytes = QFileInfo(keyText).isFile() ? readBytes(keyText) : keyText.toLatin1();
    if (!keyBytes)
        return inputError(keyBytes.error());
    const Result<update::PublicKey> key = update::readPublicKey(*keyBytes);
    if (!key)
        return inputError(key.error());
    if (!QFileInfo(file).isFile())
        return inputError(QStringLiteral("cannot read %1").arg(file));
    const QString signaturePath = file + update::kSignatureSuffix;
    if (!QFileInfo(signaturePath).isFile())
        return inputError(QStringLiteral("no signature beside it: %1").arg(signaturePath));
    if (QFileInfo(signaturePath).size() > update::kMaxSignatureFileSize)
        return inputError(QStringLiteral("%1 is too long for a signature").arg(signaturePath));
    const Result<QByteArray> signature = readBytes(signaturePath);
    if (!signature)
        return inputError(signature.error());
    const Result<update::Signature> read = update::readSignature(*signature);
    if (!read)
        return inputError(read.error());
    const Result<void> named = update::checkSignedName(*read, QFileInfo(file).fileName());
    if (!named)
        return inputError(named.error());
    const Result<void> checked = update::verifyFile(file, *signature, *key);
    if (!checked)
        return inputError(checked.error());
    print(QStringLiteral("good"));
    return kOk;
}

}  // namespace cli
