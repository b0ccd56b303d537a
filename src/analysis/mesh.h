// The drawing of the cell mesh on the diversity image.
#pragma once

#include "analysis/results.h"

// Draws the lines of the m x m mesh (value 0) on `tab_divers`.
void draw_mesh(ByteMatrix tab_divers, int nb_lig, int nb_col, int range_win);
