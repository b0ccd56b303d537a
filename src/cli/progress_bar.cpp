#include "cli/progress_bar.h"

#include <string>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

bool ProgressBar::stderr_is_terminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

void ProgressBar::update(int row, int rows) {
    if (!enabled_ || rows <= 0) return;
    const auto now = std::chrono::steady_clock::now();
    const int percent = static_cast<int>(100LL * row / rows);
    // Redrawn when the percent moves, at most ten times a second.
    if (percent == last_percent_ ||
        (percent < 100 && now - last_draw_ < std::chrono::milliseconds(100)))
        return;
    last_percent_ = percent;
    last_draw_ = now;
    constexpr int kWidth = 40;
    const int filled = kWidth * percent / 100;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kWidth - filled), '.');
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    char left[64] = "";
    if (row > 0 && percent < 100) {
        const long long s = static_cast<long long>(elapsed * (rows - row) / row + 0.5);
        std::snprintf(left, sizeof left, "  %lld:%02lld:%02lld left", s / 3600, s / 60 % 60,
                      s % 60);
    }
    std::fprintf(out_, "\r[%s] %3d%%%-20s", bar.c_str(), percent, left);
    std::fflush(out_);
    drawn_ = true;
}

void ProgressBar::finish() {
    if (drawn_) {
        std::fputc('\n', out_);
        std::fflush(out_);
        drawn_ = false;
    }
}
