#include "resultworkers.h"

#include <algorithm>
#include <chrono>

ResultWorkers::~ResultWorkers()
{
    for (std::future<void> &worker : workers)
        worker.wait();
}

void ResultWorkers::dropFinished()
{
    workers.erase(std::remove_if(workers.begin(), workers.end(),
                      [](const std::future<void> &worker) {
                          return worker.wait_for(std::chrono::seconds(0))
                              == std::future_status::ready;
                      }),
        workers.end());
}
