// What the fuzz targets share: a private scratch folder and whole-file writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct LoadedMap;
struct Inventory;
struct RunAnswers;

// A folder of this process under the system's temporary folder, made on first use and
// removed at exit.
const std::string& scratch_dir();

// Replaces `path` with the given bytes; aborts when it cannot (a broken harness must not
// pass for a sound reader).
void write_file(const std::string& path, const std::uint8_t* data, std::size_t size);

// Stops the fuzzer on a broken expectation, as a crash would.
inline void check(bool ok) {
    if (!ok) __builtin_trap();
}

// Loads the map run.nom_lect of format run.format as a run does, the console answering
// `answers`; its output goes to `console` when given. Returns 0 when the map loaded, the
// status of the stop when it was refused, -1 when a question found no answer.
int load_map(RunAnswers& run, const std::string& answers, LoadedMap& map, Inventory& inv,
             std::string* console = nullptr);
