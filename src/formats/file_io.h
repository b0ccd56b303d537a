// What the readers of the program's own formats share: 64-bit positions in a C stream,
// and the size of a file that must be a regular one.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace formats {

// 64-bit positions on every system (a long is 32 bits on Windows).
inline bool seek_to(std::FILE* f, long long offset) {
#ifdef _WIN32
    return _fseeki64(f, offset, SEEK_SET) == 0;
#else
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

// The size of a regular file; -2 for something that is not a regular file, -1 when
// there is nothing or it cannot be examined.
inline long long regular_file_size(const std::string& name) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path p(name);
    const fs::file_status st = fs::status(p, ec);
    if (ec || !fs::exists(st)) return -1;
    if (!fs::is_regular_file(st)) return -2;
    const auto n = fs::file_size(p, ec);
    if (ec) return -1;
    return static_cast<long long>(n);
}

}  // namespace formats
