#include "form1.h"
#include "browserview.h"
#include "form8.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    Form1 form1(Endpoints::builtIn());
    form1.openUpdateWindow = [&form1] {
        showUpdateWindow(UpdateContext::forThisProgram(form1.endpoints.updateBase),
                         MainWindowLink{&form1, &form1.upl, [&form1] { form1.WebBrowser1->reloadPage(); }});
    };
    form1.formLoad();
    form1.show();
    return app.exec();
}
