#include "cli/progress_bar.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>

#include "text/catalogue.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

std::string say(const Text& t, int idiom, bool utf8, std::initializer_list<Arg> args) {
    const Msg& m = t.in(idiom);
    return format_text(m.text, std::string_view(m.acc.data(), m.acc.size()), args, utf8);
}

}  // namespace

bool ProgressBar::stderr_is_terminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

void ProgressBar::map_size(int nb_lig, int nb_col) {
    if (!enabled_) return;
    finish();
    out_ << say(txt::progress_map_size, idiom_, utf8_,
                {static_cast<long long>(nb_lig), static_cast<long long>(nb_col),
                 static_cast<long long>(nb_lig) * nb_col})
         << "\n";
    out_.flush();
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
    std::string left;
    if (row > 0 && percent < 100) {
        const long long s = static_cast<long long>(elapsed * (rows - row) / row + 0.5);
        char hms[48];
        std::snprintf(hms, sizeof hms, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
        left = "  " + say(txt::progress_time_left, idiom_, utf8_, {std::string(hms)});
    }
    char head[64];
    std::snprintf(head, sizeof head, "\r[%s] %3d%%", bar.c_str(), percent);
    // The line is padded so that a shorter redraw covers the longer one before it.
    left.resize(std::max<std::size_t>(left.size(), 24), ' ');
    out_ << head << left;
    out_.flush();
    drawn_ = true;
}

void ProgressBar::finish() {
    if (drawn_) {
        out_ << '\n';
        out_.flush();
        drawn_ = false;
    }
}
