#pragma once
// The program's own files: writing an embedded resource out and starting a
// program file detached from this process.

#include "platform/core/result.h"

#include <QString>

namespace update {

// Qt resource path of an embedded resource: type and identifier, e.g. ":/CUSTOM/105".
QString resourcePath(int identifier, const QString& type);

// saveResource: writes the bytes of the embedded resource to `path`
// (temporary file + rename) and makes it executable. Fails when the resource
// is missing or the file cannot be written; an existing file then stays.
Result<void> saveResource(int identifier, const QString& type, const QString& path);

// Starts `program` with no arguments in `workingDirectory`, detached.
Result<void> startDetached(const QString& program, const QString& workingDirectory);

// The hand-over: writes the updater carried as resource "CUSTOM" 105 out into
// the program folder and starts it there, its working directory, where it
// finds "up.inf". Fails when either step fails.
Result<void> startUpdater(const QString& programFolder);

}  // namespace update
