// Map loading: reads the map named in the dialogue, in the chosen input format.
#pragma once

#include "raster/map.h"
#include "run/answers.h"
#include "run/console.h"

// Appends the extension of `run.format` to `run.nom_lect`, reads the map into
// `map.tab_in` with its size and pixel size (asking what the files do not carry),
// prints the size lines and takes the inventory (explor). A file that is missing or
// refused is reported, a key is awaited, and RunStop{1} is thrown.
void lecture(Console& con, RunAnswers& run, LoadedMap& map, Inventory& inv);
