#include "form1.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Form1 form1(Endpoints::builtIn());
    form1.formLoad();
    form1.show();
    return app.exec();
}
