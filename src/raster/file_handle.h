// A C stream that is closed when it goes out of scope, so that no return path leaks it.
#pragma once

#include <cstdio>

struct File {
    std::FILE* f = nullptr;
    explicit File(std::FILE* file) : f(file) {}
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() {
        if (f) std::fclose(f);
    }
    // Closes the stream now; false when the last buffered bytes could not be written.
    bool close() {
        std::FILE* g = f;
        f = nullptr;
        return g && std::fclose(g) == 0;
    }
};
