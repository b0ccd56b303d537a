// Whole files read and written as bytes, and text replacement, for every test.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tf {

// The bytes of a file; empty when it cannot be read.
inline std::string slurp(const std::filesystem::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// Replaces the file with these bytes.
inline void spit(const std::filesystem::path& p, const std::string& bytes) {
    std::ofstream f(p, std::ios::binary);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Every occurrence of `from` replaced by `to`, left to right.
inline std::string replace_all(std::string s, const std::string& from, const std::string& to) {
    std::size_t at = 0;
    while (!from.empty() && (at = s.find(from, at)) != std::string::npos) {
        s.replace(at, from.size(), to);
        at += to.size();
    }
    return s;
}

}  // namespace tf
