// up: the companion program that puts a downloaded main executable in place
// after an online update. It takes no arguments; everything it needs is in
// the hand-over file of its working directory.

#include "form1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    updater::Form1 form1;
    form1.showMinimized();
    return app.exec();
}
