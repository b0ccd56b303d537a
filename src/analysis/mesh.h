// The question whether to draw the cell mesh, and the drawing on the diversity image.
#pragma once

#include <string>

#include "analysis/results.h"
#include "raster/map.h"
#include "run/console.h"

// `diversity_base`: the name of the diversity image without extension, shown in the question.
void mesh_question(Console& con, int idiom, int range_win, const std::string& diversity_base,
                   const LoadedMap& map, Results& res);

// Draws the lines of the m x m mesh (value 0) on `tab_divers`.
void draw_mesh(ByteMatrix tab_divers, int nb_lig, int nb_col, int range_win);
