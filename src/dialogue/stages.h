// The stages as the dialogue runs them: each asks what the user must supply, calls the
// stage and shows what it returned, in the run's language.
#pragma once

#include <string>

#include "analysis/results.h"
#include "core/answers.h"
#include "dialogue/console.h"
#include "raster/map.h"
#include "results/images.h"
#include "results/report.h"
#include "window/window.h"

// Step 8: appends the extension of `run.format` to `run.nom_lect`, opens the map and
// takes its inventory as its rows stream by, asking the raw header when it is missing
// and the bitmap's pixel size; prints the size lines and the inventory. A file that is missing or refused is
// reported, a key is awaited, and RunStop{1} is thrown.
void lecture(Console& con, RunAnswers& run, LoadedMap& map, Inventory& inv);

// Prints the inventory taken: the histogram and the item list.
void explor(Console& con, int idiom, const Inventory& inv);

// The rank help: asks a pixel edge (again while it is not above 0) and a surface in
// km2 (again while it is below 0), then shows the ranks advised for a square and for
// a circle. Leaves the pixel edge in win.side, the surface in win.surf_window and the
// values of the computation in win.S, radius, rad_pix, val_prov, R_square, R_circle.
void rank_help(Console& con, int idiom, Window& win);

// Computes and shows the sizes of the cell mesh, the square window or the circular
// window (building its mask), as chosen by run.treat_type and run.win_shape. The run
// stops with a message when the mask cannot be allocated.
void show_sizes(Console& con, const RunAnswers& run, const LoadedMap& map, Window& win);

// Steps 12 and 13: the heading, the scan with one progress line per row, the diversity
// histogram. The run stops with a message when a grid cannot be allocated.
void treatment(Console& con, const RunAnswers& run, const LoadedMap& map, Inventory& inv,
               const Window& win, Results& res);

// The question whether to draw the cell mesh (`diversity_base`: the name of the diversity
// image without extension, shown in the question), and the drawing.
void mesh_question(Console& con, int idiom, int range_win, const std::string& diversity_base,
                   const LoadedMap& map, Results& res);

// Writes the diversity image then the homogeneity image in run.res_form, each followed
// by its line in the report. A file that cannot be written is reported on the console
// and left out of the report; the other image is still written. Returns false when any
// could not be written.
bool write_result_images(Console& con, const RunAnswers& run, const LoadedMap& map, Results& res,
                         Report& rep, ResultFiles& files);
