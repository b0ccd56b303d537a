// Sharing the rows of a scan among worker threads, the progress reported in order on
// the calling thread.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace scan_bands {

// Thrown by row_done into a band being worked on once the scan is cancelled, so that
// every worker leaves its band at the next row instead of finishing it.
struct BandsCancelled {};

// Runs work(first, last, worker, row_done) for bands of `band` rows covering rows
// 0 .. rows - 1, on `workers` threads, the calling thread being worker 0. A band calls
// row_done(row) for each of its rows once that row's values are all written. report(row)
// is called on the calling thread for every row, in the order of the rows, as soon as it
// and all those before it are done, also while the calling thread waits for the others'
// last bands; when it returns false, every worker stops at its next row and no row is
// reported after it. When `work` or `report` throws, the other workers stop taking bands
// and the exception goes on from the calling thread once they have finished.
template <class Work, class Report>
void share_bands(int rows, int band, int workers, const Work& work, const Report& report) {
    if (rows <= 0) return;
    band = std::max(band, 1);
    const int bands = (rows - 1) / band + 1;
    workers = std::clamp(workers, 1, bands);
    // Value-initialised: every row starts not done.
    const std::unique_ptr<std::atomic<bool>[]> done(new std::atomic<bool>[rows]());
    std::atomic<int> next{0};
    std::atomic<bool> stop{false};
    std::atomic<bool> cancelled{false};
    int shown = 0;
    const auto show_done = [&] {
        while (!cancelled.load(std::memory_order_relaxed) && shown < rows &&
               done[shown].load(std::memory_order_acquire))
            if (!report(shown++)) {
                cancelled.store(true);
                stop.store(true);
            }
    };
    const auto take_bands = [&](int worker) {
        while (!stop.load(std::memory_order_relaxed)) {
            const int b = next.fetch_add(1, std::memory_order_relaxed);
            if (b >= bands) return;
            const int first = b * band;
            const int last = std::min(rows, first + band);
            work(first, last, worker, [&, worker](int row) {
                done[row].store(true, std::memory_order_release);
                if (worker == 0) show_done();
                if (cancelled.load(std::memory_order_relaxed)) throw BandsCancelled{};
            });
        }
    };

    // A helper that fails (memory run out) stops the others; its exception goes on from
    // the calling thread.
    std::mutex failed_lock;
    std::exception_ptr failed;
    std::atomic<int> running{0};
    std::vector<std::thread> helpers;
    helpers.reserve(static_cast<std::size_t>(workers - 1));
    for (int w = 1; w < workers; ++w) {
        running.fetch_add(1);
        try {
            helpers.emplace_back([&, w] {
                try {
                    take_bands(w);
                } catch (const BandsCancelled&) {
                } catch (...) {
                    stop.store(true);
                    const std::lock_guard<std::mutex> hold(failed_lock);
                    if (!failed) failed = std::current_exception();
                }
                running.fetch_sub(1, std::memory_order_release);
            });
        } catch (const std::system_error&) {
            running.fetch_sub(1);
            break;  // fewer threads than asked: the others share the bands
        }
    }
    try {
        try {
            take_bands(0);
            // The rows of the others' last bands are reported as they are done.
            while (running.load(std::memory_order_acquire) > 0 &&
                   !cancelled.load(std::memory_order_relaxed)) {
                show_done();
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        } catch (const BandsCancelled&) {
        }
        stop.store(true);
        for (std::thread& h : helpers) h.join();
        if (failed) std::rethrow_exception(failed);
        show_done();
    } catch (...) {
        stop.store(true);
        for (std::thread& h : helpers)
            if (h.joinable()) h.join();
        throw;
    }
}

}  // namespace scan_bands
