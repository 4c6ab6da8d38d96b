#pragma once
// The program's own files: writing an embedded resource out and starting a
// program file detached from this process.

#include <QString>

namespace update {

// Qt resource path of an embedded resource: type and identifier, e.g. ":/CUSTOM/105".
QString resourcePath(int identifier, const QString& type);

// saveResource: writes the bytes of the embedded resource to `path`
// (temporary file + rename) and makes it executable. False when the resource
// is missing or the file cannot be written; an existing file then stays.
bool saveResource(int identifier, const QString& type, const QString& path);

// Starts `program` with no arguments in `workingDirectory`, detached.
bool startDetached(const QString& program, const QString& workingDirectory);

}  // namespace update
