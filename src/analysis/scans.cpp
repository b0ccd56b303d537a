#include "analysis/scans.h"

#include "analysis/tally.h"
#include "window/shapes.h"

namespace {

// The tally of the window centred at (i, j): each value goes to its grid if that
// pixel still has none.
void write_tally(ByteGrid& tab_div, ByteGrid& tab_homo, int i, int j, const TallyResult& r) {
    if (tab_div[i][j] == kNoValue) tab_div[i][j] = static_cast<unsigned char>(r.toth);
    if (tab_homo[i][j] == kNoValue) tab_homo[i][j] = static_cast<unsigned char>(r.val3);
}

// The last centre row or column for a window of rank rw on a side of n pixels;
// below rw when no whole window fits.
long long last_centre(int n, int rw) {
    return static_cast<long long>(n) - rw - 1;
}

}  // namespace

void fill_grid(const ByteGrid& g, int nb_lig, int nb_col, unsigned char value) {
    for (int i = 0; i < nb_lig; ++i)
        for (int j = 0; j < nb_col; ++j) g[i][j] = value;
}

void cell_mesh_scan(const LoadedMap& map, Inventory& inv, const Window& win, ByteGrid& tab_div,
                    ByteGrid& tab_homo, const Progress& progress) {
    const int m = win.side;
    if (m <= 0) return;
    const int lig_segm = map.nb_lig / m;
    const int lig_fin = lig_segm * m;
    const int col_segm = map.nb_col / m;
    const int col_fin = col_segm * m;
    const ByteGrid& tab_in = map.tab_in;
    WindowTally tally(inv, win.surf_tot);

    // lig_fin and col_fin are multiples of m, so i + m and j + m never pass them.
    for (int i = 0; i < lig_fin; i += m) {
        for (int j = 0; j < col_fin; j += m) {
            tally.start();
            for (int k = i; k < i + m; ++k) {
                const unsigned char* row = tab_in[k];
                for (int l = j; l < j + m; ++l) tally.add(row[l]);
            }
            const TallyResult r = tally.finish();
            for (int k = i; k < i + m; ++k)
                for (int l = j; l < j + m; ++l)
                    if (tab_div[k][l] == kNoValue)
                        tab_div[k][l] = static_cast<unsigned char>(r.toth);
            for (int k = i; k < i + m; ++k)
                for (int l = j; l < j + m; ++l)
                    if (tab_homo[k][l] == kNoValue)
                        tab_homo[k][l] = static_cast<unsigned char>(r.val3);
        }
        if (progress && !progress(i, map.nb_lig)) return;
    }
}

void square_scan(const LoadedMap& map, Inventory& inv, const Window& win, int rw, ByteGrid& tab_div,
                 ByteGrid& tab_homo, const Progress& progress) {
    if (rw < 0) return;
    const long long last_i = last_centre(map.nb_lig, rw);
    const long long last_j = last_centre(map.nb_col, rw);
    const ByteGrid& tab_in = map.tab_in;
    WindowTally tally(inv, win.surf_tot);

    for (int i = rw; i <= last_i; ++i) {
        for (int j = rw; j <= last_j; ++j) {
            tally.start();
            for (int k = i - rw; k <= i + rw; ++k) {
                const unsigned char* row = tab_in[k];
                for (int l = j - rw; l <= j + rw; ++l) tally.add(row[l]);
            }
            write_tally(tab_div, tab_homo, i, j, tally.finish());
        }
        if (progress && !progress(i, map.nb_lig)) return;
    }
}

void circle_scan(const LoadedMap& map, Inventory& inv, const Window& win, int rw, ByteGrid& tab_div,
                 ByteGrid& tab_homo, const Progress& progress) {
    if (rw < 0 || !win.tab_rad || win.nb != 2LL * rw + 1) return;
    const long long last_i = last_centre(map.nb_lig, rw);
    const long long last_j = last_centre(map.nb_col, rw);
    const ByteGrid& tab_in = map.tab_in;
    const ByteGrid& tab_rad = win.tab_rad;
    WindowTally tally(inv, win.surf_tot);

    for (int i = rw; i <= last_i; ++i) {
        for (int j = rw; j <= last_j; ++j) {
            tally.start();
            // The mask lies with its row 0, column 0 on the top left pixel of the box;
            // a pixel outside the circle is skipped altogether.
            for (int k = i - rw; k <= i + rw; ++k) {
                const unsigned char* row = tab_in[k];
                const unsigned char* valc = tab_rad[k - (i - rw)];
                for (int l = j - rw; l <= j + rw; ++l)
                    if (valc[l - (j - rw)] == 1) tally.add(row[l]);
            }
            write_tally(tab_div, tab_homo, i, j, tally.finish());
        }
        if (progress && !progress(i, map.nb_lig)) return;
    }
}

void reference_scan(int treat_type, int win_shape, const LoadedMap& map, Inventory& inv,
                    const Window& win, int rw, ByteGrid& tab_div, ByteGrid& tab_homo,
                    const Progress& progress) {
    const WindowShape* shape = find_window_shape(treat_type, win_shape);
    if (shape == nullptr) return;
    switch (shape->kind) {
        case WindowKind::Mesh:
            return cell_mesh_scan(map, inv, win, tab_div, tab_homo, progress);
        case WindowKind::Square:
            return square_scan(map, inv, win, rw, tab_div, tab_homo, progress);
        case WindowKind::Circle:
            return circle_scan(map, inv, win, rw, tab_div, tab_homo, progress);
    }
}
