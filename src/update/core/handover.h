#pragma once
// The hand-over file "up.inf" that the update client leaves for the updater:
// three lines in the narrow code page, each ended by CR LF: "1", the name of
// the downloaded new main executable, and the main executable's full path.

#include "platform/core/result.h"

#include <QString>
#include <QStringList>

namespace update {

inline const QString kHandOverFile = QStringLiteral("up.inf");
inline const QString kNewExecutableFile = QStringLiteral("Temp.png");

// The updater's file name: "up" with the platform's executable suffix.
QString updaterFileName();

// Joins a folder and a file name with exactly one separator, also when the
// folder is a root that already ends in one.
QString joinPath(const QString& folder, const QString& name);

// The main executable's full path for line 3: program folder + executable
// name (without extension) + the platform's executable suffix.
QString mainExecutablePath(const QString& programFolder, const QString& executableName);

// Writes "up.inf" in `folder` anew (temporary file + rename). Fails without
// writing when the path cannot travel through the narrow code page unchanged.
Result<void> writeHandOverFile(const QString& folder, const QString& mainExecutable);

// The lines of a hand-over file (at most 21); empty when it cannot be read.
QStringList readHandOverFile(const QString& path);

}  // namespace update
