#include <cmath>
#include <string_view>

#include "results/result_files.h"
#include "results/summary.h"
#include "text/catalogue.h"

namespace {

// Matches `fmt` (a report line with %d, %s, %.Nlf) against `text` at `pos`; on success
// moves `pos` past it and appends the values to `caps`. A %s runs to the last place on
// its line where the rest of the format can follow.
bool match_line(std::string_view fmt, std::string_view text, std::size_t& pos,
                std::vector<std::string>& caps) {
    std::size_t p = pos;
    std::vector<std::string> got;
    for (std::size_t k = 0; k < fmt.size();) {
        if (fmt[k] != '%') {
            if (p >= text.size() || text[p] != fmt[k]) return false;
            ++p;
            ++k;
            continue;
        }
        std::size_t e = k + 1;
        while (e < fmt.size() && (fmt[e] == '.' || fmt[e] == 'l' || std::isdigit(
                                                                         static_cast<unsigned char>(fmt[e]))))
            ++e;
        if (e >= fmt.size()) return false;
        const char conv = fmt[e];
        k = e + 1;
        if (conv == 's') {
            const std::size_t next = fmt.find('%', k);
            const std::string_view lit = fmt.substr(k, next == std::string_view::npos ? next : next - k);
            std::size_t line_end = text.find('\n', p);
            if (line_end == std::string_view::npos) line_end = text.size();
            std::size_t end = std::string_view::npos;
            if (lit.empty()) {
                end = line_end;
            } else {
                for (std::size_t q = line_end + 1; q-- > p;)
                    if (text.substr(q, lit.size()) == lit) {
                        end = q;
                        break;
                    }
                // A name that holds a newline (a path may) runs on to the text after it.
                if (end == std::string_view::npos && line_end < text.size()) {
                    const std::size_t q = text.find(lit, line_end);
                    if (q != std::string_view::npos) end = q;
                }
            }
            if (end == std::string_view::npos || end < p) return false;
            got.emplace_back(text.substr(p, end - p));
            p = end;
            continue;
        }
        const std::size_t start = p;
        if (p < text.size() && text[p] == '-') ++p;
        const std::size_t digits = p;
        while (p < text.size() && std::isdigit(static_cast<unsigned char>(text[p]))) ++p;
        if (p == digits) return false;
        if (conv == 'f' && p < text.size() && text[p] == '.') {
            ++p;
            while (p < text.size() && std::isdigit(static_cast<unsigned char>(text[p]))) ++p;
        } else if (conv != 'd' && conv != 'f') {
            return false;
        }
        got.emplace_back(text.substr(start, p - start));
    }
    pos = p;
    caps.insert(caps.end(), got.begin(), got.end());
    return true;
}

long long to_ll(const std::string& s) {
    try {
        return std::stoll(s);
    } catch (...) {
        return 0;
    }
}

double to_d(const std::string& s) {
    try {
        return std::stod(s);
    } catch (...) {
        return 0;
    }
}

}  // namespace

bool parse_report(const std::string& text, ReportContents& out) {
    out = ReportContents{};
    std::size_t pos = 0;
    std::vector<std::string> c;
    int idiom = -1;
    for (int l = 0; l < 3 && idiom < 0; ++l) {
        std::size_t p = 0;
        if (match_line(txt::report_title.in(l), text, p, c)) {
            idiom = l;
            pos = p;
        }
    }
    if (idiom < 0) return false;
    out.idiom = idiom;
    auto line = [&](const txt::ReportLine& r) { return match_line(r.in(idiom), text, pos, c); };
    c.clear();
    if (!line(txt::report_image_heading) || !line(txt::report_image_name) ||
        !line(txt::report_features) || !line(txt::report_size) || !line(txt::report_pixel_size) ||
        !line(txt::report_surface) || !line(txt::report_item_count))
        return false;
    out.nom_lect = c[0];
    out.nb_lig = static_cast<int>(to_ll(c[1]));
    out.nb_col = static_cast<int>(to_ll(c[2]));
    out.pix_size = static_cast<int>(to_ll(c[3]));
    out.surface_km2 = to_d(c[4]);
    const long long items = to_ll(c[5]);
    if (items < 0 || items > 255) return false;
    for (long long k = 0; k < items; ++k) {
        c.clear();
        if (!line(txt::report_item)) return false;
        out.items.push_back({static_cast<int>(to_ll(c[1])), to_ll(c[2]), to_d(c[3]), {}});
    }
    c.clear();
    if (!line(txt::report_window_heading)) return false;
    if (line(txt::report_square_form)) {
        c.clear();
        if (!line(txt::report_square_heading) || !line(txt::report_square_rank) ||
            !line(txt::report_square_size) || !line(txt::report_square_pixels) ||
            !line(txt::report_square_pixel_size) || !line(txt::report_square_surface))
            return false;
        out.win_shape = 0;
        const long long R = to_ll(c[0]);
        out.range_win = R >= 0 && R <= 1000000 ? static_cast<int>(R) : -1;
        out.side = static_cast<int>(to_ll(c[1]));
        out.window_pixels = to_ll(c[3]);
        out.window_ha = to_d(c[6]);
    } else if (line(txt::report_circle_form)) {
        c.clear();
        if (!line(txt::report_circle_heading) || !line(txt::report_circle_radius) ||
            !line(txt::report_circle_pixels) || !line(txt::report_circle_pixel_size) ||
            !line(txt::report_circle_surface))
            return false;
        out.win_shape = 1;
        out.radius = to_d(c[0]);
        const double r = out.radius - 0.5;
        out.range_win = r >= 0 && r == std::floor(r) && r <= 1e6 ? static_cast<int>(r) : -1;
        out.window_pixels = to_ll(c[1]);
        out.window_ha = to_d(c[4]);
    }
    for (const txt::ReportLine& r : txt::report_closing)
        if (!line(r)) return false;
    // The valid-pixel rule's line, when the run had one, passed over.
    const std::string_view rule = txt::report_min_valid.in(idiom);
    const std::string_view rule_head = rule.substr(0, rule.find('%'));
    if (std::string_view(text).substr(pos, rule_head.size()) == rule_head) {
        pos = text.find('\n', pos + rule_head.size());
        if (pos == std::string::npos) pos = text.size();
    }
    c.clear();
    if (line(txt::report_diversity_image)) out.diversity_image = c.back();
    c.clear();
    if (line(txt::report_homogeneity_image)) out.homog_image = c.back();
    // The other metrics' images, each named by its metric.
    for (c.clear(); line(txt::report_metric_image); c.clear())
        out.metric_images.emplace_back(c[c.size() - 2], c.back());
    return true;
}

// The report of a run, read and understood.
bool read_report(const std::string& given, const std::string& report_name, ReportContents& rc,
                 Status& err) {
    std::string text;
    if (!results::is_file(report_name) || !results::read_whole(report_name, text)) {
        err = Status::make(Status::Code::Missing, report_name, txt::summary_no_report,
                           {given + "_info.txt"});
        return false;
    }
    if (!parse_report(text, rc)) {
        err = Status::make(Status::Code::Refused, report_name, txt::summary_not_a_report,
                           {report_name});
        return false;
    }
    return true;
}
