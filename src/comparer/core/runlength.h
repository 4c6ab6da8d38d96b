#pragma once
// The run length N the user chose in the library window, kept in the data
// folder beside the library's indexes, so that the next session checks with
// it too.

#include "platform/core/result.h"

#include <QString>

namespace comparer::library {

// N as last kept; the default when none was kept or the file holds no N in bounds.
int keptRunLength(const QString& dataFolder);
// `runLength` must lie within the bounds.
Result<void> keepRunLength(const QString& dataFolder, int runLength);

}  // namespace comparer::library
