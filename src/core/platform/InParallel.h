#pragma once
#include <exception>
#include <system_error>
#include <thread>

// Runs first() here and second() on another thread, or here after it when no thread can be had;
// returns when both are done. What second() throws is thrown here, after first() is done.
template <typename First, typename Second>
void inParallel(First&& first, Second&& second)
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
        first();
        second();
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
