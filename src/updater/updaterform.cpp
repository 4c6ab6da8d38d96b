#include "updater/updaterform.h"

#include "platform/widgets/dialogs.h"
#include "update/core/programfiles.h"
#include "updater/replacement.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QVBoxLayout>

namespace updater {

Form1::Form1(QWidget* parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("自动升级程序"));
    Label1 = new QLabel(QStringLiteral("程序升级中，请勿关闭此窗口……"), this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    resize(320, 90);

    workingDirectory = QDir::currentPath();
    endProgram = [] { QCoreApplication::quit(); };
    startProgram = [this](const QString& program) {
        return update::startDetached(program, workingDirectory).ok();
    };

    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    Form_Load();
}

void Form1::Form_Load()
{
    ticksLeft = 3;
    Timer1.start();
}

void Form1::Timer1_Timer()
{
    if (--ticksLeft != 0)
        return;
    Timer1.stop();
    if (!handOverWaiting(workingDirectory)) {
        endProgram();
        return;
    }
    const HandOver handOver = readHandOver(workingDirectory);
    if (replaceMainExecutable(workingDirectory, handOver) == Replacement::DownloadError)
        dialogs::message(this, QStringLiteral("下载错误，请重新运行下载程序！"),
                         QStringLiteral("自动升级程序"));
    removeHandOver(workingDirectory);
    if (!handOver.mainExecutable.isEmpty())
        startProgram(handOver.mainExecutable);
    endProgram();
}

}  // namespace updater
