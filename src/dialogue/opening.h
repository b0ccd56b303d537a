// The run driver: the dialogue in its fixed order and the stages in theirs.
#pragma once

#include "raster/map.h"
#include "results/report.h"
#include "core/answers.h"
#include "dialogue/console.h"
#include "window/window.h"

// The whole run, from the banner to the final key press. Returns the exit status:
// 0 when the run went through, 1 when it failed.
int opening(Console& con);

// The steps of the dialogue, each callable on its own.
void show_banner(Console& con);
void choose_language(Console& con, RunAnswers& run);         // step 2
void describe_program(Console& con, const RunAnswers& run);  // step 3
void choose_input(Console& con, RunAnswers& run);            // steps 4 to 7
void choose_window(Console& con, RunAnswers& run, const LoadedMap& map,
                   Window& win);  // step 9, the size loop
void choose_outputs(Console& con, RunAnswers& run, LoadedMap& map,
                    Report& rep);  // steps 10 and 11
