// The floor of a Qt program's start, for bench_comparer_prose: QtCore alone,
// an application object and one line printed, as `trovalis-cli --version` does.

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    std::puts(qPrintable(QCoreApplication::arguments().value(0)));
    return 0;
}
