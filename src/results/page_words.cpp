#include "results/page_words.h"

#include <string_view>

#include "text/catalogue.h"

namespace page {

// A catalogue text as the page writes it: its letters in UTF-8, its other placeholders
// (%s, %d) kept for the page to fill.
std::string page_text(const Text& t, int idiom) {
    const Msg& m = t.in(idiom);
    const std::string_view fmt = m.text;
    std::string out;
    std::size_t next = 0;
    for (std::size_t k = 0; k < fmt.size(); ++k) {
        if (fmt[k] == '%' && k + 1 < fmt.size() && fmt[k + 1] == 'c') {
            if (next < m.acc.size()) out += cp850_to_utf8(static_cast<unsigned char>(m.acc[next++]));
            ++k;
        } else {
            out += fmt[k];
        }
    }
    return out;
}

namespace {

Words words_in(int idiom) {
    namespace p = txt::page;
    auto w = [&](const Text& t) { return page_text(t, idiom); };
    return {w(p::lang),           w(p::title),
            w(p::map),            w(p::map_file),
            w(p::size),           w(p::pixel_size),
            w(p::surface),        w(p::crs),
            w(p::crs_unknown),    w(p::corner),
            w(p::treatment),      w(p::cell_mesh),
            w(p::moving_window),  w(p::window),
            w(p::rank),
            w(p::window_size),    w(p::window_surface),
            w(p::cell_surface),   w(p::diversity),
            w(p::diversity_note), w(p::homogeneity),
            w(p::homogeneity_note), w(p::colour),
            w(p::value),          w(p::share_of_map),
            w(p::no_value),       w(p::mesh_lines),
            w(p::reduced_mode),   w(p::reduced_mean),
            w(p::mesh_hidden),    w(p::inventory),
            w(p::classes),        w(p::code),
            w(p::pixels),         w(p::share),
            w(p::others),         w(p::histogram),
            w(p::histogram_x),    w(p::histogram_y),
            w(p::histogram_mesh), w(p::nothing_evaluated),
            w(p::results),        w(p::made_by),
            w(p::holes),          w(p::holes_hint),
            w(p::holes_cell),     w(p::holes_hint_cell),
            w(p::classified_of),  w(p::cell_heading),
            w(p::diversity_note_cell), w(p::homogeneity_note_cell),
            w(p::histogram_x_cell),    w(p::class_name),
            w(p::scale)};
}

}  // namespace

const Words& words(int idiom) {
    static const Words kWords[3] = {words_in(0), words_in(1), words_in(2)};
    return kWords[idiom == 1 ? 1 : idiom == 2 ? 2 : 0];
}

}  // namespace page
