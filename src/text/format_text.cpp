#include "text/format_text.h"

#include <cctype>
#include <cstdio>

std::string cp850_to_utf8(unsigned char c) {
    switch (c) {
        case 0x85:
            return "\xC3\xA0";  // à
        case 0x87:
            return "\xC3\xA7";  // ç
        case 0x88:
            return "\xC3\xAA";  // ê
        case 0x8A:
            return "\xC3\xA8";  // è
        case 0x8C:
            return "\xC3\xAE";  // î
        case 0xA0:
            return "\xC3\xA1";  // á
        case 0x82:
            return "\xC3\xA9";  // é
        case 0xA1:
            return "\xC3\xAD";  // í
        case 0xA2:
            return "\xC3\xB3";  // ó
        case 0xA3:
            return "\xC3\xBA";  // ú
        case 0x97:
            return "\xC3\xB9";  // ù
        case 0xA4:
            return "\xC3\xB1";  // ñ
        case 0xA8:
            return "\xC2\xBF";  // ¿
        case 0x90:
            return "\xC3\x89";  // É
        case 0x9E:
            return "\xC3\x97";  // ×
        case 0xFD:
            return "\xC2\xB2";  // ²
        case 0xC9:
            return "\xE2\x95\x94";  // ╔
        case 0xBB:
            return "\xE2\x95\x97";  // ╗
        case 0xBC:
            return "\xE2\x95\x9D";  // ╝
        case 0xC8:
            return "\xE2\x95\x9A";  // ╚
        case 0xBA:
            return "\xE2\x95\x91";  // ║
        case 0xCD:
            return "\xE2\x95\x90";  // ═
        default:
            return std::string(1, static_cast<char>(c));
    }
}

std::string format_text(std::string_view fmt, std::string_view chars, const Arg* args,
                        std::size_t count, bool utf8) {
    std::string out;
    out.reserve(fmt.size() + 32);
    std::size_t next_char = 0;
    const Arg* next_arg = args;
    const Arg* const args_end = args + count;
    for (std::size_t k = 0; k < fmt.size(); ++k) {
        char c = fmt[k];
        if (c != '%' || k + 1 >= fmt.size()) {
            out += c;
            continue;
        }
        // Collect one conversion: flags/precision, length modifiers, conversion letter.
        std::size_t start = k;
        ++k;
        while (k < fmt.size() && (std::isdigit(static_cast<unsigned char>(fmt[k])) ||
                                  fmt[k] == '.' || fmt[k] == '-' || fmt[k] == '+' || fmt[k] == ' '))
            ++k;
        while (k < fmt.size() && fmt[k] == 'l') ++k;
        if (k >= fmt.size()) break;
        char conv = fmt[k];
        std::string spec(fmt.substr(start, k - start + 1));
        if (conv == '%') {
            out += '%';
        } else if (conv == 'c') {
            if (next_char < chars.size()) {
                unsigned char b = static_cast<unsigned char>(chars[next_char++]);
                out += utf8 ? cp850_to_utf8(b) : std::string(1, static_cast<char>(b));
            }
        } else if (next_arg != args_end) {
            const Arg& a = *next_arg++;
            char buf[128];
            if (conv == 'd' || conv == 'i') {
                long long v = a.kind == Arg::Kind::Int ? a.i : static_cast<long long>(a.d);
                // Print through %lld whatever length modifier the text carries.
                std::string s = spec.substr(0, spec.size() - 1);
                while (!s.empty() && s.back() == 'l') s.pop_back();
                s += "lld";
                std::snprintf(buf, sizeof buf, s.c_str(), v);
                out += buf;
            } else if (conv == 'f' || conv == 'e' || conv == 'g') {
                double v = a.kind == Arg::Kind::Real ? a.d : static_cast<double>(a.i);
                std::string s = spec.substr(0, spec.size() - 1);
                while (!s.empty() && s.back() == 'l') s.pop_back();
                s += conv;
                std::snprintf(buf, sizeof buf, s.c_str(), v);
                out += buf;
            } else if (conv == 's') {
                out += a.kind == Arg::Kind::Str ? a.s : "";
            }
        }
    }
    return out;
}

std::string format_text(std::string_view fmt, std::string_view chars,
                        std::initializer_list<Arg> args, bool utf8) {
    return format_text(fmt, chars, args.begin(), args.size(), utf8);
}
