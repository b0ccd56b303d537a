#include "results/page_text.h"

#include <cmath>
#include <cstdio>

namespace page {

std::string fill(std::string_view fmt, std::initializer_list<std::string> args,
                 std::initializer_list<long long> ints) {
    std::string s;
    auto a = args.begin();
    auto n = ints.begin();
    for (std::size_t k = 0; k < fmt.size(); ++k) {
        if (fmt[k] == '%' && k + 1 < fmt.size() && (fmt[k + 1] == 's' || fmt[k + 1] == 'd')) {
            if (fmt[k + 1] == 's' && a != args.end()) s += *a++;
            if (fmt[k + 1] == 'd' && n != ints.end()) s += std::to_string(*n++);
            ++k;
        } else {
            s += fmt[k];
        }
    }
    return s;
}

std::string esc(std::string_view in) {
    std::string s;
    s.reserve(in.size() + 8);
    for (std::size_t k = 0; k < in.size();) {
        const auto c = static_cast<unsigned char>(in[k]);
        if (c < 0x80) {
            switch (c) {
                case '&': s += "&amp;"; break;
                case '<': s += "&lt;"; break;
                case '>': s += "&gt;"; break;
                case '"': s += "&quot;"; break;
                case '\'': s += "&#39;"; break;
                default:
                    if (c < 0x20 && c != '\t' && c != '\n') s += "\xEF\xBF\xBD";
                    else s += static_cast<char>(c);
            }
            ++k;
            continue;
        }
        int len = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
        bool ok = len > 0 && k + len <= in.size();
        for (int t = 1; ok && t < len; ++t)
            ok = (static_cast<unsigned char>(in[k + t]) & 0xC0) == 0x80;
        if (ok && len == 3) {
            const auto c1 = static_cast<unsigned char>(in[k + 1]);
            ok = !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 >= 0xA0);
        }
        if (ok && len == 4) {
            const auto c1 = static_cast<unsigned char>(in[k + 1]);
            ok = !(c == 0xF0 && c1 < 0x90) && !(c == 0xF4 && c1 >= 0x90);
        }
        if (ok) {
            s.append(in.substr(k, len));
            k += len;
        } else {
            s += "\xEF\xBF\xBD";
            ++k;
        }
    }
    return s;
}


// A whole number with groups of three digits, in the manner of the language.
std::string group(long long v, int idiom) {
    const std::string digits = std::to_string(v < 0 ? -v : v);
    const char* sep = idiom == 0 ? "," : "\xE2\x80\xAF";  // narrow no-break space
    std::string s = v < 0 ? "-" : "";
    for (std::size_t k = 0; k < digits.size(); ++k) {
        if (k > 0 && (digits.size() - k) % 3 == 0) s += sep;
        s += digits[k];
    }
    return s;
}

// A real number with `decimals` decimals, the decimal mark of the language.
std::string real(double v, int decimals, int idiom) {
    if (!std::isfinite(v)) return "–";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    std::string s = buf;
    const auto dot = s.find('.');
    std::string whole = dot == std::string::npos ? s : s.substr(0, dot);
    std::string frac = dot == std::string::npos ? "" : s.substr(dot + 1);
    const bool neg = !whole.empty() && whole[0] == '-';
    if (neg) whole.erase(0, 1);
    std::string out = neg ? "-" : "";
    const long long w = whole.size() < 16 ? std::stoll(whole) : 0;
    out += whole.size() < 16 ? group(w, idiom) : whole;
    if (!frac.empty()) out += (idiom == 0 ? "." : ",") + frac;
    return out;
}

std::string pct(double v, int idiom) {
    // Three significant figures, at most three decimals; a share too small to show is
    // not shown as nothing.
    if (v > 0 && v < 0.0005) return "< " + real(0.001, 3, idiom) + " %";
    const int decimals = v >= 100 ? 0 : v >= 10 ? 1 : v >= 1 ? 2 : 3;
    return real(v, decimals, idiom) + " %";
}

std::string css_colour(const Rgba& c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r, c.g, c.b);
    return buf;
}

std::string base64(const std::string& bytes) {
    static const char* abc = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string s;
    s.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t k = 0;
    for (; k + 2 < bytes.size(); k += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[k]) << 16 |
                           static_cast<unsigned char>(bytes[k + 1]) << 8 |
                           static_cast<unsigned char>(bytes[k + 2]);
        s += abc[v >> 18];
        s += abc[(v >> 12) & 63];
        s += abc[(v >> 6) & 63];
        s += abc[v & 63];
    }
    if (k < bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[k]) << 16;
        if (k + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[k + 1]) << 8;
        s += abc[v >> 18];
        s += abc[(v >> 12) & 63];
        s += k + 1 < bytes.size() ? abc[(v >> 6) & 63] : '=';
        s += '=';
    }
    return s;
}

std::string num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", v);
    std::string s = buf;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
}

std::string file_part(const std::string& path) {
    const auto at = path.find_last_of("/\\");
    return at == std::string::npos ? path : path.substr(at + 1);
}

}  // namespace page
