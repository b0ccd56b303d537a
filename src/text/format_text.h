// Texts of the three languages and the printf-style formatting of every message and
// report line: plain data and one pure function, shared by both front ends and the stages
// that write text files.
#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

// One message in one language: its format string and, in order, the bytes that fill
// its %c placeholders.
struct Msg {
    const char* text;
    std::array<char, 13> acc{};
};

// One message in the three languages of a run: 0 English, 1 French, 2 Spanish.
struct Text {
    Msg en, fr, es;
    const Msg& in(int idiom) const { return idiom == 1 ? fr : idiom == 2 ? es : en; }
};

// A value for a placeholder other than %c.
struct Arg {
    enum class Kind { Int, Real, Str };
    Kind kind;
    long long i = 0;
    double d = 0.0;
    const char* s = "";
    Arg(int v) : kind(Kind::Int), i(v) {}
    Arg(long v) : kind(Kind::Int), i(v) {}
    Arg(long long v) : kind(Kind::Int), i(v) {}
    Arg(double v) : kind(Kind::Real), d(v) {}
    Arg(const char* v) : kind(Kind::Str), s(v) {}
    Arg(const std::string& v) : kind(Kind::Str), s(v.c_str()) {}
};

// Formats `fmt`. Placeholders: %d, %ld, %lld, %s, %c, %lf and %.Nlf (also %f), %%.
// Each %c takes the next byte of `chars` (translated to UTF-8 when `utf8` is set);
// every other placeholder takes the next of `args`. A missing value prints nothing.
std::string format_text(std::string_view fmt, std::string_view chars,
                        std::initializer_list<Arg> args, bool utf8 = false);

// The UTF-8 form of one of the 22 code page 850 bytes the program prints (accents, box
// lines, and the summary page's É, × and ²); any other byte is returned unchanged.
std::string cp850_to_utf8(unsigned char c);

// The same, with the values given as an array (for messages built at run time).
std::string format_text(std::string_view fmt, std::string_view chars, const Arg* args,
                        std::size_t count, bool utf8 = false);
