// The progress bar of a batch run: percent and time left, on standard error, redrawn
// in place. Shown only when standard error is a terminal.
#pragma once

#include <chrono>
#include <cstdio>

class ProgressBar {
  public:
    // `enabled`: draw at all (a terminal, and not asked to be quiet).
    explicit ProgressBar(bool enabled, std::FILE* out = stderr) : enabled_(enabled), out_(out) {}
    ~ProgressBar() { finish(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // `row` of `rows` done.
    void update(int row, int rows);
    // Ends the bar's line.
    void finish();

    // True when standard error is a terminal.
    static bool stderr_is_terminal();

  private:
    bool enabled_;
    std::FILE* out_;
    bool drawn_ = false;
    int last_percent_ = -1;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last_draw_{};
};
