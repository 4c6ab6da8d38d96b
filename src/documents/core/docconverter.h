#pragma once
// Plain text out of Word documents (.doc) through a real converter run as a
// child process with a time-out: antiword first; LibreOffice, when it is
// installed, for documents antiword cannot read (or when antiword is absent).

#include "platform/core/result.h"

#include <QString>

namespace documents {

struct DocConverterSettings {
    QString antiword = QStringLiteral("antiword");
    QString soffice = QStringLiteral("soffice");
    int timeoutMs = 60000;
};

// The settings the program uses; tests point them elsewhere.
DocConverterSettings& docConverterSettings();

// The text with paragraphs ending in LF, like the word processor's own
// text; a failure says why in a sentence for the user.
Result<QString> convertDoc(const QString& path,
                           const DocConverterSettings& settings = docConverterSettings());

// Other word processors' documents (.odt, WPS Writer's .wps) through
// LibreOffice only; without it, a failure saying that it is needed.
Result<QString> convertWithLibreOffice(const QString& path,
                                       const DocConverterSettings& settings = docConverterSettings());

}  // namespace documents
