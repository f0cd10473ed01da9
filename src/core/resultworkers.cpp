#include "resultworkers.h"

#include <algorithm>
#include <chrono>

ResultWorkers::~ResultWorkers()
{
    for (std::shared_future<void> &worker : workers)
        worker.wait();
}

void ResultWorkers::dropFinished()
{
    workers.erase(std::remove_if(workers.begin(), workers.end(),
                      [](const std::shared_future<void> &worker) {
                          return worker.wait_for(std::chrono::seconds(0))
                              == std::future_status::ready;
                      }),
        workers.end());
}
