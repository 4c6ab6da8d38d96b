#pragma once
// The program's icon: the same SVG that the desktop shows in its menu, carried
// inside the executable so that the windows have it wherever the program lies.

#include <QIcon>

namespace programicon {

// Resource path of the embedded SVG.
QString resourcePath();

// The icon for every window of both programs. It needs Qt's SVG icon engine
// (package libqt6svg6); without it the icon is null and windows show none.
QIcon icon();

}  // namespace programicon
