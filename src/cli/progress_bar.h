// The progress bar of a batch run: a first line with the map's size, then the percent and
// the time left, redrawn in place, in the run's language. Drawn only when standard error
// is a terminal.
#pragma once

#include <chrono>
#include <ostream>

class ProgressBar {
  public:
    // `enabled`: draw at all (a terminal, and not asked to be quiet); `idiom`: the run's
    // language; `utf8`: accented letters as UTF-8 rather than code page 850 bytes.
    ProgressBar(bool enabled, int idiom, bool utf8, std::ostream& out)
        : enabled_(enabled), idiom_(idiom), utf8_(utf8), out_(out) {}
    ~ProgressBar() { finish(); }
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    // The bar's first line: the map's lines, columns and pixels, said as soon as the map
    // is open, before any row is read (a map may be far larger than its file).
    void map_size(int nb_lig, int nb_col);
    // `row` of `rows` done.
    void update(int row, int rows);
    // Ends the bar's line.
    void finish();

    // True when standard error is a terminal.
    static bool stderr_is_terminal();

  private:
    bool enabled_;
    int idiom_;
    bool utf8_;
    std::ostream& out_;
    bool drawn_ = false;
    int last_percent_ = -1;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last_draw_{};
};
