#pragma once

#include <QElapsedTimer>

// Wall-clock timing shared by the benchmark programs.
class BenchClock
{
public:
    template<typename Work>
    static double milliseconds(Work work)
    {
        QElapsedTimer timer;
        timer.start();
        work();
        return double(timer.nsecsElapsed()) / 1e6;
    }
};
