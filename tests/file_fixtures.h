// Whole files read and written as bytes, and text replacement, for every test.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace tf {

// True in the sanitizer tree, where the program runs several times slower: there the
// widest sweeps of cases take every other case (the normal tree takes them all), and the
// tests whose subject is another program (a browser) are left to the normal tree.
#if defined(LANDMOSAIC_SANITIZED)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
// Whether case number `i` of a sweep runs in this tree.
inline bool swept(int i) { return !kSanitized || i % 2 == 0; }

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

#ifndef _WIN32
// While it lives, no file of this process may grow beyond `bytes`: a write past it fails
// as on a full disk (the signal the system sends for it is ignored meanwhile).
class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &old_);
        old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit r = old_;
        r.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &r);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, old_handler_);
    }

  private:
    rlimit old_{};
    void (*old_handler_)(int) = nullptr;
};
#endif

}  // namespace tf
