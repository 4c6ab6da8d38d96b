#pragma once
// Qt's own texts in Simplified Chinese: the buttons of message boxes, the
// file dialogs, the browser's menu. The program's own texts are Chinese on
// every system, so Qt's must be too, whatever language the system speaks.

#include <QString>
#include <QStringList>

namespace qttranslations {

// Makes Chinese (China) the application's locale and the browser's language
// (so call it before the first page is made), and installs Qt's
// translations `catalogues` ("qtbase", "qtwebengine") for it from `folder`,
// Qt's translations folder unless a test says otherwise. Returns the
// catalogues it found; without them Qt's texts stay as they were.
QStringList installChinese(const QStringList& catalogues, const QString& folder = {});

}  // namespace qttranslations
