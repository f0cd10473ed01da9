#include "hyperscanscratch.h"

#include <atomic>

quint64 HyperscanScratch::newSerial()
{
    static std::atomic<quint64> next {1};
    return next++;
}

hs_scratch_t *HyperscanScratch::forThread(const hs_database_t *database, quint64 serial)
{
    struct Scratch
    {
        hs_scratch_t *space = nullptr;
        quint64 servedSerial = 0;
        ~Scratch() { hs_free_scratch(space); }
    };
    thread_local Scratch scratch;
    if (scratch.servedSerial != serial) {
        if (hs_alloc_scratch(database, &scratch.space) != HS_SUCCESS)
            qBadAlloc();
        scratch.servedSerial = serial;
    }
    return scratch.space;
}
