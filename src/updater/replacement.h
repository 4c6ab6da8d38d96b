#pragma once
// What the updater `up` does once its countdown has run out: read the
// hand-over file left in its working directory, put the downloaded main
// executable in place of the old one, and say which program to start again.

#include <QString>

namespace updater {

enum class Replacement {
    Replaced,       // the new executable now stands at the main executable's path
    DownloadError,  // the new or the old executable is missing, or the new one is empty
    Failed,         // the files were there but could not be swapped (the old one stays)
};

struct HandOver {
    QString newExecutable;   // line 2, relative to the working directory
    QString mainExecutable;  // line 3, a full path
};

// True when the hand-over file exists in `workingDirectory`.
bool handOverWaiting(const QString& workingDirectory);

// Reads the hand-over file of `workingDirectory` (missing lines stay empty).
HandOver readHandOver(const QString& workingDirectory);

// Moves the new executable over the main executable in one atomic rename,
// carrying over the old file's permissions so that it can be started.
Replacement replaceMainExecutable(const QString& workingDirectory, const HandOver& handOver);

// Deletes the hand-over file of `workingDirectory`.
void removeHandOver(const QString& workingDirectory);

}  // namespace updater
