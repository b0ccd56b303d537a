// Centre rows shared among worker threads. Every row is computed from its own counts, so
// how the rows are cut changes no value.
#pragma once

#include <algorithm>
#include <system_error>
#include <thread>
#include <vector>

#include "analysis/fast_scan.h"

namespace metrics {

// The workers for `work` pixels: `threads`, or one per hardware thread when 0; one for
// small maps, not worth a thread.
inline int workers_for(int threads, long long work) {
    const int t = threads > 0 ? threads : fast_scan_threads();
    return work < (1LL << 16) ? 1 : std::max(1, t);
}

// Runs f(a, b) over [r0, r1) cut into contiguous blocks, one per worker, the calling thread
// working the first. A block whose thread cannot be started is worked on the calling
// thread too.
template <class F>
void share_rows(int r0, int r1, int workers, const F& f) {
    const int rows = r1 - r0;
    workers = std::max(1, std::min(workers, rows));
    const auto block = [&](int w, int& a, int& b) {
        a = r0 + static_cast<int>(static_cast<long long>(rows) * w / workers);
        b = r0 + static_cast<int>(static_cast<long long>(rows) * (w + 1) / workers);
    };
    std::vector<std::thread> team;
    std::vector<int> left;
    for (int w = 1; w < workers; ++w) {
        int a = 0, b = 0;
        block(w, a, b);
        try {
            team.emplace_back([&f, a, b] { f(a, b); });
        } catch (const std::system_error&) {
            left.push_back(w);
        }
    }
    int a = 0, b = 0;
    block(0, a, b);
    f(a, b);
    for (int w : left) {
        block(w, a, b);
        f(a, b);
    }
    for (std::thread& t : team) t.join();
}

}  // namespace metrics
