// The words of the summary page, in the three languages of the program.
#pragma once

namespace page {

struct Words {
    const char* lang;
    const char* title;
    const char* map;
    const char* map_file;
    const char* size;  // columns, lines
    const char* pixel_size;
    const char* surface;
    const char* crs;
    const char* crs_unknown;
    const char* corner;
    const char* treatment;
    const char* cell_mesh;
    const char* moving_window;
    const char* window;
    const char* cell;
    const char* square;
    const char* circle;
    const char* rank;
    const char* window_size;  // pixels, hectares
    const char* window_surface;
    const char* cell_surface;
    const char* diversity;
    const char* diversity_note;
    const char* homogeneity;
    const char* homogeneity_note;
    const char* colour;
    const char* value;
    const char* share_of_map;
    const char* no_value;
    const char* mesh_lines;
    const char* reduced_mode;  // factor, block edge twice
    const char* reduced_mean;
    const char* mesh_hidden;
    const char* inventory;
    const char* classes;  // count
    const char* code;
    const char* pixels;
    const char* share;
    const char* others;  // count, share
    const char* histogram;
    const char* histogram_x;
    const char* histogram_y;
    const char* histogram_mesh;
    const char* nothing_evaluated;
    const char* results;
    const char* made_by;
    const char* holes;       // percent
    const char* holes_hint;
    const char* classified_of;  // classified km2, whole map km2
    const char* cell_heading;
    const char* diversity_note_cell;
    const char* homogeneity_note_cell;
    const char* histogram_x_cell;
    const char* class_name;
    const char* scale;
};

// The words of the page in the language `idiom` (English for any other value).
const Words& words(int idiom);

}  // namespace page
