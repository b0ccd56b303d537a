// GDAL's messages and the raw output of the libraries under it, caught and kept so that
// the first useful line goes under the program's own message instead of reaching the
// standard error as it is.
#include "formats/gdal_internal.h"

#include <unistd.h>

#include <cstring>
#include <mutex>

namespace gdal_impl {

namespace {

// The standard error is the process's: one capture at a time.
std::mutex& capture_lock() {
    static std::mutex m;
    return m;
}

std::string trimmed(const std::string& line) {
    const std::size_t a = line.find_first_not_of(" \t\r");
    if (a == std::string::npos) return {};
    const std::size_t b = line.find_last_not_of(" \t\r");
    return line.substr(a, b - a + 1);
}

}  // namespace

GdalMessages::GdalMessages() {
    CPLPushErrorHandlerEx(&GdalMessages::keep, this);
}

GdalMessages::~GdalMessages() {
    CPLPopErrorHandler();
}

void CPL_STDCALL GdalMessages::keep(CPLErr kind, CPLErrorNum, const char* message) {
    auto* self = static_cast<GdalMessages*>(CPLGetErrorHandlerUserData());
    if (!self || !message) return;
    if (kind == CE_Failure || kind == CE_Fatal)
        self->failures_.emplace_back(message);
    else if (kind == CE_Warning)
        self->warnings_.emplace_back(message);
}

std::string GdalMessages::first() const {
    if (!failures_.empty()) return failures_.front();
    if (!warnings_.empty()) return warnings_.front();
    return {};
}

StderrCapture::StderrCapture() {
    capture_lock().lock();
    locked_ = true;
    std::fflush(stderr);
    file_ = std::tmpfile();
    if (!file_) return;
    saved_ = ::dup(2);
    if (saved_ < 0 || ::dup2(::fileno(file_), 2) < 0) {
        if (saved_ >= 0) ::close(saved_);
        saved_ = -1;
        std::fclose(file_);
        file_ = nullptr;
    }
}

StderrCapture::~StderrCapture() {
    (void)finish();
}

std::string StderrCapture::finish() {
    std::string text;
    if (file_) {
        std::fflush(stderr);
        ::dup2(saved_, 2);
        ::close(saved_);
        saved_ = -1;
        std::rewind(file_);
        char buf[4096];
        // The first lines are enough to find the useful one.
        std::size_t n;
        while (text.size() < (64u << 10) && (n = std::fread(buf, 1, sizeof buf, file_)) > 0)
            text.append(buf, n);
        std::fclose(file_);
        file_ = nullptr;
    }
    if (locked_) {
        locked_ = false;
        capture_lock().unlock();
    }
    return first_useful_line(text);
}

std::string first_useful_line(const std::string& text) {
    std::size_t at = 0;
    bool hdf5 = false;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        const std::string line = trimmed(text.substr(at, end - at));
        at = end + 1;
        if (line.empty()) continue;
        if (line.rfind("HDF5-DIAG:", 0) == 0) {
            hdf5 = true;
            continue;
        }
        if (!hdf5) return line;
        // "#000: FILE line N in FUNCTION(): WHAT": the words after the function.
        if (line[0] != '#') continue;
        const std::size_t words = line.find("(): ");
        return "HDF5: " + (words == std::string::npos ? line : line.substr(words + 4));
    }
    return {};
}

}  // namespace gdal_impl
