#pragma once

#include <new>

// Why work on a log could not run: nearly always exhausted memory on large logs.
enum class Failure { none, outOfMemory, other };

// Runs work and tells how it failed instead of letting an exception through: for work called
// from Qt's event handling, which an exception would take down.
template<typename Work>
[[nodiscard]] Failure failureOf(const Work &work) noexcept
{
    try {
        work();
        return Failure::none;
    } catch (const std::bad_alloc &) {
        return Failure::outOfMemory;
    } catch (...) {
        return Failure::other;
    }
}
