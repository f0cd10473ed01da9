#pragma once

#include <exception>
#include <new>

// Thrown where a file of an indexed log no longer holds what was read from it.
struct FileChangedError : std::exception
{
    [[nodiscard]] const char *what() const noexcept override { return "file changed on disk"; }
};

// Why work on a log could not run: nearly always exhausted memory on large logs, or a file of an
// indexed log that changed on disk since it was read.
enum class Failure { none, outOfMemory, fileChanged, other };

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
    } catch (const FileChangedError &) {
        return Failure::fileChanged;
    } catch (...) {
        return Failure::other;
    }
}
