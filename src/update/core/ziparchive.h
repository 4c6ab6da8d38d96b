#pragma once
// Unpacking the zip archives an update delivers, over minizip's "unz" calls.
// Paths use "/" as the separator; folder paths returned end in exactly one.

#include <QString>
#include <QStringList>

#include <functional>

namespace update {

using EventPump = std::function<void()>;

// A report of the walk rather than a value or a failure: entries written before
// an early end stay and refused entries are skipped while the walk goes on, so
// a caller (trovalis-cli unzip) needs what was done as well as what went wrong.
struct ExtractResult {
    bool opened = false;    // the archive could be opened
    bool complete = false;  // every entry was walked without failure
    int filesWritten = 0;
    QStringList refused;  // entry names that would land outside the destination
    QString error;        // what ended the walk early, if anything
};

// Unpacks `archive` into the folder `destination`, recreating the entries'
// folders. Entries that would land outside it are refused and skipped; any
// other failure ends the walk (entries written before stay). `pump` runs once
// per entry and once per folder step.
ExtractResult extractZip(const QString& destination, const QString& archive, const EventPump& pump = {});

// Creates every missing folder along `path` and returns it normalised (doubled
// separators collapsed, one trailing separator). Returns the empty text when a
// folder cannot be created.
QString makePath(const QString& path, const EventPump& pump = {});

// The text up to and including the last separator ("" when there is none).
QString folderPart(const QString& path);
// The text after the last separator (the whole text when there is none).
QString fileNamePart(const QString& path);

// An entry name that stays inside the destination: no "..", no absolute path,
// no drive letter, with "\" counted as a separator too.
bool isSafeEntryName(const QString& name);

}  // namespace update
