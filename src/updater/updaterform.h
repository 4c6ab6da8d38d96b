#pragma once
// The updater's only window: a label asking the user to leave it open and a
// one-second timer. At the third tick it performs the hand-over left in its
// working directory and starts the main program again.

#include <QTimer>
#include <QWidget>

#include <functional>

class QLabel;

namespace updater {

class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);

    void Form_Load();
    void Timer1_Timer();

    QLabel* Label1 = nullptr;
    QTimer Timer1;
    qint16 ticksLeft = 0;

    // Where "up.inf" and the new executable are looked for; the working directory.
    QString workingDirectory;
    // Ends the program; quits the event loop unless replaced (tests).
    std::function<void()> endProgram;
    // Starts a program file; detached unless replaced (tests).
    std::function<bool(const QString& program)> startProgram;
};

}  // namespace updater
