// What the fuzz targets share: a private scratch folder and whole-file writes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A folder of this process under the system's temporary folder, made on first use and
// removed at exit.
const std::string& scratch_dir();

// Replaces `path` with the given bytes; aborts when it cannot (a broken harness must not
// pass for a sound reader).
void write_file(const std::string& path, const std::uint8_t* data, std::size_t size);
