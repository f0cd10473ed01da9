#pragma once

#include <hs.h>

#include <QtGlobal>

// Hyperscan's scratch space, one per thread for every database: grown to serve a database on
// the thread's first scan with it, freed when the thread ends.
class HyperscanScratch
{
public:
    // A number that tells a database from every other one, including one later built at the
    // same address.
    [[nodiscard]] static quint64 newSerial();
    // The calling thread's scratch space, fit for the database with that serial; throws
    // std::bad_alloc when it cannot grow.
    [[nodiscard]] static hs_scratch_t *forThread(const hs_database_t *database, quint64 serial);
};
