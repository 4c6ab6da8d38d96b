#include "analysis/pausing.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cmath>

void pauseSeconds(float seconds)
{
    QElapsedTimer clock;
    clock.start();
    const qint64 durationMs =
        std::isfinite(seconds) && seconds > 0 ? qint64(std::ceil(double(seconds) * 1000.0)) : 0;
    // Sleep in the event loop rather than spin, so the pause costs no CPU.
    while (clock.elapsed() <= durationMs) {
        QEventLoop loop;
        bool woken = false;
        QTimer::singleShot(int(durationMs - clock.elapsed() + 1), &loop, [&] {
            woken = true;
            loop.quit();
        });
        loop.exec();
        if (!woken)
            return;  // the application is quitting: every event loop is told to end
    }
}
