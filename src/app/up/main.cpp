// up: the companion program that puts a downloaded main executable in place
// after an online update. It takes no arguments; everything it needs is in
// the hand-over file of its working directory.

#include "platform/core/qttranslations.h"
#include "platform/widgets/programicon.h"
#include "updater/updaterform.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    qttranslations::installChinese({QStringLiteral("qtbase")});
    QApplication::setWindowIcon(programicon::icon());
    QCoreApplication::setApplicationName(QStringLiteral("up"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0.0"));
    updater::Form1 form1;
    form1.showMinimized();
    return app.exec();
}
