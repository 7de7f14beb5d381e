#pragma once
#include <exception>
#include <system_error>
#include <thread>

// Runs first() here and second() on another thread, or alone() here instead of both when no
// thread can be had (for work whose halves wait for each other); returns when both are done.
// What second() throws is thrown here, after first() is done.
template <typename First, typename Second, typename Alone>
void inParallel(First&& first, Second&& second, Alone&& alone)
{
    std::exception_ptr failed;
    std::thread other;
    try {
        other = std::thread([&] {
            try {
                second();
            } catch (...) {
                failed = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        alone();
        return;
    }
    try {
        first();
    } catch (...) {
        other.join();
        throw;
    }
    other.join();
    if (failed)
        std::rethrow_exception(failed);
}

// The same, running first() and then second() here when no thread can be had.
template <typename First, typename Second>
void inParallel(First&& first, Second&& second)
{
    inParallel(first, second, [&] {
        first();
        second();
    });
}
