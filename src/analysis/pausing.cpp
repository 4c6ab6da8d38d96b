#include "pausing.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cmath>

void pauseSeconds(float seconds)
{
    QElapsedTimer clock;
    clock.start();
    const qint64 durationMs = std::isfinite(seconds) && seconds > 0
        ? qint64(std::ceil(double(seconds) * 1000.0)) : 0;
    // Sleep in the event loop rather than spin, so the pause costs no CPU.
    while (clock.elapsed() <= durationMs) {
        QEventLoop loop;
        QTimer::singleShot(int(durationMs - clock.elapsed() + 1), &loop, &QEventLoop::quit);
        loop.exec();
    }
}
