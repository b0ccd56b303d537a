#include "dialogue/console.h"

#include "text/status_text.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <conio.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

bool Console::system_utf8() {
#ifdef _WIN32
    return false;
#else
    return true;
#endif
}

void Console::print(std::string_view fmt, std::initializer_list<Arg> args) {
    std::string s = format_text(fmt, {}, args, utf8_);
    out_.write(s.data(), static_cast<std::streamsize>(s.size()));
    if (!s.empty() && s.back() == '\r') out_.flush();
}

void Console::print(const Msg& m, std::initializer_list<Arg> args) {
    std::string s = format_text(m.text, std::string_view(m.acc.data(), m.acc.size()), args, utf8_);
    out_.write(s.data(), static_cast<std::streamsize>(s.size()));
    if (!s.empty() && s.back() == '\r') out_.flush();
}

void Console::show(const Status& s, int idiom) {
    const std::string t = status_text(s, idiom, utf8_);
    out_.write(t.data(), static_cast<std::streamsize>(t.size()));
}

std::string Console::text(int idiom, const Text& t, std::initializer_list<Arg> args) const {
    const Msg& m = t.in(idiom);
    return format_text(m.text, std::string_view(m.acc.data(), m.acc.size()), args, utf8_);
}

void Console::flush() {
    out_.flush();
}

bool Console::output_failed() const {
    return !out_.good();
}

std::string Console::read_token() {
    out_.flush();
    std::string tok;
    if (!bom_checked_) {
        // A UTF-8 byte order mark, as some editors put at the start of a saved answers
        // file, is no answer. Bytes that only begin like one belong to the first token.
        bom_checked_ = true;
        static const char kBom[] = "\xEF\xBB\xBF";
        for (int k = 0; k < 3 && in_.peek() == static_cast<unsigned char>(kBom[k]); ++k)
            tok += static_cast<char>(in_.get());
        if (tok.size() == 3) tok.clear();
    }
    int ch;
    if (tok.empty()) {
        while ((ch = in_.get()) != EOF && std::isspace(ch)) {
        }
        if (ch == EOF) throw InputEnded{};
        tok += static_cast<char>(ch);
    }
    while ((ch = in_.peek()) != EOF && !std::isspace(ch)) tok += static_cast<char>(in_.get());
    return tok;
}

bool Console::read_int(int& v) {
    std::string tok = read_token();
    const char* b = tok.c_str();
    char* e = nullptr;
    errno = 0;
    long long x = std::strtoll(b, &e, 10);
    if (e == b || *e != '\0' || errno == ERANGE || x < INT_MIN || x > INT_MAX) return false;
    if (!(std::isdigit(static_cast<unsigned char>(b[0])) || b[0] == '-' || b[0] == '+'))
        return false;
    v = static_cast<int>(x);
    return true;
}

bool Console::read_double(double& v) {
    std::string tok = read_token();
    const char* b = tok.c_str();
    char* e = nullptr;
    errno = 0;
    double x = std::strtod(b, &e);
    if (e == b || *e != '\0' || !std::isfinite(x)) return false;
    // Decimal numbers only: strtod would also take "0x10" and "0x1p4".
    if (tok.find_first_of("xX") != std::string::npos) return false;
    v = x;
    return true;
}

int Console::menu(const std::function<void()>& show, int highest, bool negative_ok) {
    for (;;) {
        show();
        int v = 0;
        if (!read_int(v)) continue;
        if (v > highest) continue;
        if (v < 0 && !negative_ok) continue;
        return v;
    }
}

int Console::ask_int(const std::function<void()>& prompt, int lowest, int highest) {
    for (;;) {
        prompt();
        int v = 0;
        if (read_int(v) && v >= lowest && v <= highest) return v;
    }
}

double Console::ask_double(const std::function<void()>& prompt, double lowest,
                           bool lowest_excluded) {
    for (;;) {
        prompt();
        double v = 0;
        if (!read_double(v)) continue;
        if (v < lowest || (lowest_excluded && v == lowest)) continue;
        return v;
    }
}

void Console::wait_key() {
    out_.flush();
    if (!terminal_keys_) {
        in_.get();
        return;
    }
#ifdef _WIN32
    _getch();
#else
    termios old{};
    if (tcgetattr(STDIN_FILENO, &old) != 0) {
        in_.get();
        return;
    }
    // No line mode, no echo, and no signal keys: Ctrl-C is a key like any other here,
    // so that the terminal is always given back as it was found.
    termios raw = old;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO | ISIG));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    unsigned char b = 0;
    ssize_t n = read(STDIN_FILENO, &b, 1);
    (void)n;
    tcsetattr(STDIN_FILENO, TCSANOW, &old);
#endif
}
