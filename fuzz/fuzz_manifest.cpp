// The update manifest and the hand-over file "up.inf", read from disk as the
// client and the updater read them, and the rules applied to their lines.
#include "fuzzsupport.h"
#include "update/core/handover.h"
#include "update/core/manifest.h"

#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    const QByteArray input = fuzz::bytes(data, size);
    fuzz::check(update::readTextLines(input, 3).size() <= 3, "line limit holds");

    const QString manifestPath = dir.filePath(update::kManifestFile);
    if (!fuzz::writeFile(manifestPath, input))
        return 0;
    const update::UpdateTable table = update::getUpdateInfor(dir.path());
    update::isNewerVersion(table[0]);
    const int count = update::fileCount(table);
    fuzz::check(count >= 0, "file count is not negative");
    for (const QString& slot : table) {
        update::acceptableAnswer(slot);
        update::isArchiveName(slot);
        if (update::isSafeFileName(slot)) {
            fuzz::check(!slot.contains(u'/') && !slot.contains(u'\\') && slot != QLatin1String(".."),
                        "a safe name stays in the program folder");
        }
    }
    update::fileProgressText(count, count);
    update::filesDoneText(count / 2, count);

    const QString handOverPath = dir.filePath(update::kHandOverFile);
    if (fuzz::writeFile(handOverPath, input))
        fuzz::check(update::readHandOverFile(handOverPath).size() <= update::kTableSlots,
                    "hand-over file read is bounded");
    return 0;
}
