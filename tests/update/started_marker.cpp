// A small stand-in for a newer build of the main program in the end-to-end
// update test: started from its folder, it leaves "started.txt" there.

#include <QCoreApplication>
#include <QDir>
#include <QFile>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QFile marker(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("started.txt")));
    if (!marker.open(QIODevice::WriteOnly))
        return 1;
    marker.write("started");
    return 0;
}
