// Unpacking an update archive into a fresh temporary folder: whatever the
// archive holds, nothing may land outside the destination.
#include "fuzzsupport.h"
#include "update/core/ziparchive.h"

#include <QDir>
#include <QDirIterator>
#include <QTemporaryDir>

namespace {

int filesUnder(const QString& folder)
{
    int n = 0;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++n;
    }
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // root/archive.zip next to root/dest/: an escape one level up would show
    // as an extra file in root.
    QTemporaryDir root;
    const QString archive = root.filePath(QStringLiteral("archive.zip"));
    const QString destination = root.filePath(QStringLiteral("dest")) + u'/';
    if (!fuzz::writeFile(archive, fuzz::bytes(data, size)) || !QDir().mkpath(destination))
        return 0;
    const update::ExtractResult result = update::extractZip(destination, archive);
    fuzz::check(result.filesWritten == 0 || filesUnder(destination) > 0, "written files are inside");
    fuzz::check(filesUnder(root.path()) == 1 + filesUnder(destination), "nothing lands beside it");
    for (const QString& name : result.refused)
        fuzz::check(!update::isSafeEntryName(name), "only unsafe names are refused");
    return 0;
}
