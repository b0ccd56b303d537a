#include "analysis/mesh.h"

void draw_mesh(ByteMatrix tab_divers, int nb_lig, int nb_col, int range_win) {
    // Lines lie on the rows and columns whose index is a multiple of the cell edge m:
    // the first row and column of each cell, including those of the incomplete strips.
    const long long m = 2LL * range_win + 1;
    if (m <= 0) return;
    const long long nj = nb_col / m;
    for (long long k = 0; k <= nj; ++k) {
        const long long col = k * m;
        if (col >= nb_col) continue;
        for (int i = 0; i < nb_lig; ++i) tab_divers[i][col] = 0;
    }
    const long long ni = nb_lig / m;
    for (long long k = 0; k <= ni; ++k) {
        const long long lig = k * m;
        if (lig >= nb_lig) continue;
        for (int j = 0; j < nb_col; ++j) tab_divers[lig][j] = 0;
    }
}
