#pragma once
// Plain text out of Word documents (.doc) through a real converter run as a
// child process with a time-out: antiword first; LibreOffice, when it is
// installed, for documents antiword cannot read (or when antiword is absent).

#include <QString>

namespace documents {

struct DocConverterSettings {
    QString antiword = QStringLiteral("antiword");
    QString soffice = QStringLiteral("soffice");
    int timeoutMs = 60000;
};

// The settings the program uses; tests point them elsewhere.
DocConverterSettings& docConverterSettings();

struct DocConversion {
    bool ok = false;
    QString text;   // paragraphs end with LF, like the word processor's own text
    QString error;  // a sentence for the user when !ok
};

DocConversion convertDoc(const QString& path, const DocConverterSettings& settings = docConverterSettings());

}  // namespace documents
