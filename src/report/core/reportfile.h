#pragma once
// Writing a report file: through a temporary file beside it, so that a failed
// write (a full disk, a read-only folder) leaves no half-written file and an
// earlier file of that name whole.

#include "platform/core/result.h"

#include <QByteArray>
#include <QString>

namespace reportfile {

Result<void> write(const QByteArray& bytes, const QString& fileName);

// A report is written as PDF when its name ends in ".pdf", any case; otherwise as HTML.
bool isPdfName(const QString& fileName);

}  // namespace reportfile
