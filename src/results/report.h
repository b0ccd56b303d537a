// The report file written beside the result images.
#pragma once

#include <cstdio>
#include <initializer_list>
#include <string>

#include "raster/map.h"
#include "core/answers.h"
#include "raster/output_file.h"
#include "text/format_text.h"
#include "window/window.h"

// The open report stream. Every write is checked; `failed` records that something
// could not be written. The text goes to a temporary file beside the final name, which
// replaces an earlier report only when the report is closed whole: a run that stops
// before leaves the earlier report as it was.
struct Report {
    std::FILE* f3 = nullptr;
    bool failed = false;
    OutputFile file;

    Report() = default;
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;
    // A report never closed is abandoned: its temporary file is removed.
    ~Report() = default;

    // Creates the report's temporary file, in text mode. False when it cannot be
    // created (or the name is a folder, a FIFO or a device).
    bool open(const std::string& nom_info);
    // Writes one line of the report, formatted like a console message (no translation).
    // Nothing is written through a stream that is not open; that counts as a failure.
    void write(const char* fmt, std::initializer_list<Arg> args = {});
    // Flushes and closes the file and puts it under its name; false when anything could
    // not be written (the earlier report of that name then stays).
    bool close();
};

// Rows 1 to 28: the input, the map, the inventory, the window, the closing paragraph.
void write_report_body(Report& rep, const RunAnswers& run, const LoadedMap& map,
                       const Inventory& inv, const Window& win);
