// The words of the summary page in the run's language: the catalogue's texts of the page
// (text/catalogue_page.h), in UTF-8.
#pragma once

#include <string>

struct Text;  // a message of the catalogue

namespace page {

// A catalogue text as the page writes it: its letters in UTF-8, its other placeholders
// (%s, %d) kept for the page to fill.
std::string page_text(const Text& t, int idiom);

struct Words {
    std::string lang;
    std::string title;
    std::string map;
    std::string map_file;
    std::string size;  // columns, lines
    std::string pixel_size;
    std::string surface;
    std::string crs;
    std::string crs_unknown;
    std::string corner;
    std::string treatment;
    std::string cell_mesh;
    std::string moving_window;
    std::string window;
    std::string rank;
    std::string window_size;  // pixels, hectares
    std::string window_surface;
    std::string cell_surface;
    std::string diversity;
    std::string diversity_note;
    std::string homogeneity;
    std::string homogeneity_note;
    std::string colour;
    std::string value;
    std::string share_of_map;
    std::string no_value;
    std::string mesh_lines;
    std::string reduced_mode;  // factor, block edge twice
    std::string reduced_mean;
    std::string mesh_hidden;
    std::string inventory;
    std::string classes;  // count
    std::string code;
    std::string pixels;
    std::string share;
    std::string others;  // count, share
    std::string histogram;
    std::string histogram_x;
    std::string histogram_y;
    std::string histogram_mesh;
    std::string nothing_evaluated;
    std::string results;
    std::string made_by;
    std::string holes;       // percent
    std::string holes_hint;
    std::string holes_cell;  // percent
    std::string holes_hint_cell;
    std::string classified_of;  // classified km2, whole map km2
    std::string cell_heading;
    std::string diversity_note_cell;
    std::string homogeneity_note_cell;
    std::string histogram_x_cell;
    std::string class_name;
    std::string scale;
};

// The words of the page in the language `idiom` (English for any other value), made once.
const Words& words(int idiom);

}  // namespace page
