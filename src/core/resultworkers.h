#pragma once

#include "parallelfor.h"

#include <QCoreApplication>
#include <QPointer>

#include <future>
#include <vector>

// The worker threads of the searches whose results reach objects on the interface thread
// through its event loop, so that the window never waits for them. Destroying it waits for
// the workers still running.
class ResultWorkers
{
public:
    ResultWorkers() = default;
    ResultWorkers(const ResultWorkers &) = delete;
    ResultWorkers &operator=(const ResultWorkers &) = delete;
    ~ResultWorkers();

    // Runs job on a worker thread; the job owns what it reads. Returns when the job ends, for
    // a later job that must wait for it.
    template<typename Job>
    std::shared_future<void> start(Job job)
    {
        dropFinished();
        workers.push_back(runInBackground(std::move(job)).share());
        return workers.back();
    }

    // Calls take(*receiver) on the interface thread from its event loop, unless the receiver
    // is gone by then; from any thread.
    template<typename Receiver, typename Take>
    static void deliver(QPointer<Receiver> receiver, Take take)
    {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [receiver, take] {
                if (receiver)
                    take(*receiver);
            },
            Qt::QueuedConnection);
    }

private:
    void dropFinished();

    std::vector<std::shared_future<void>> workers;
};
