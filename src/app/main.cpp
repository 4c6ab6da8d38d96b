#include "comparer/ui/form2.h"
#include "mainwindow/ui/form1.h"
#include "platform/browser/browserview.h"
#include "platform/core/qttranslations.h"
#include "platform/widgets/programicon.h"
#include "platform/widgets/richeditor.h"
#include "update/ui/form8.h"

#include <QApplication>

#include <memory>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    qttranslations::installChinese({QStringLiteral("qtbase"), QStringLiteral("qtwebengine")});
    QApplication::setWindowIcon(programicon::icon());
    // Ties the windows to the desktop entry, so that the desktop shows its icon and name for them.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.trovalis.Trovalis"));
    Form1 form1(Endpoints::builtIn());
    form1.openUpdateWindow = [&form1] {
        showUpdateWindow(UpdateContext::forThisProgram(form1.endpoints.updateBase),
                         MainWindowLink{&form1, &form1.upl, [&form1] { form1.WebBrowser1->reloadPage(); }});
    };
    // The comparer: one window object from its first use to the end of the program.
    std::unique_ptr<Form2> form2;
    const auto comparer = [&]() -> Form2& {
        if (!form2)
            form2 = std::make_unique<Form2>(form1.endpoints, [&form1] { return form1.RichTextBox1->text(); });
        return *form2;
    };
    form1.openComparer = [&] { comparer().open(); };
    form1.loadInComparer = [&](const QUrl& url) { comparer().loadPage(url); };
    form1.formLoad();
    form1.show();
    return app.exec();
}
