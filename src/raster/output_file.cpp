#include "raster/output_file.h"

#include <cerrno>
#include <cstdint>
#include <chrono>
#include <cstdio>
#include <random>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>
#include <unistd.h>
#endif

namespace {

// The folder part of a path, with its last separator ("" for a bare name).
std::string folder_of(const std::string& path) {
#ifdef _WIN32
    const std::size_t at = path.find_last_of("\\/:");
#else
    const std::size_t at = path.rfind('/');
#endif
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

// A name no other run is likely to pick; creation is exclusive in any case, and a name
// already taken makes the caller draw another.
std::string temp_name(const std::string& folder) {
    std::random_device rd;
    const auto t = static_cast<std::uint64_t>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    std::uint64_t r = (static_cast<std::uint64_t>(rd()) << 32) ^ rd() ^ (t * 0x9E3779B97F4A7C15ull);
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string name = folder + ".landmosaic-";
    for (int k = 0; k < 12; ++k) {
        name += digits[r % 36];
        r /= 36;
    }
    return name + ".tmp";
}

}  // namespace

#ifdef _WIN32

bool is_special_file(const std::string& path) {
    struct _stat64 st;
    if (_stat64(path.c_str(), &st) != 0) return false;
    return (st.st_mode & _S_IFMT) != _S_IFREG;
}

std::FILE* open_regular(const std::string& path, const char* mode, bool& not_regular) {
    not_regular = is_special_file(path);
    if (not_regular) return nullptr;
    return std::fopen(path.c_str(), mode);
}

bool same_file(const std::string& a, const std::string& b) {
    auto info = [](const std::string& p, BY_HANDLE_FILE_INFORMATION& i) {
        HANDLE h = CreateFileA(p.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        const BOOL ok = GetFileInformationByHandle(h, &i);
        CloseHandle(h);
        return ok != 0;
    };
    BY_HANDLE_FILE_INFORMATION x{}, y{};
    if (!info(a, x) || !info(b, y)) return false;
    return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

bool OutputFile::open(const std::string& final_path, bool text) {
    abandon();
    if (is_special_file(final_path)) return false;
    const std::string folder = folder_of(final_path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = temp_name(folder);
        const int fd = _open(temp.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | (text ? _O_TEXT : _O_BINARY),
                             _S_IREAD | _S_IWRITE);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        f_ = _fdopen(fd, text ? "w" : "wb");
        if (!f_) {
            _close(fd);
            std::remove(temp.c_str());
            return false;
        }
        final_ = final_path;
        temp_ = temp;
        failed_ = false;
        return true;
    }
    return false;
}

bool OutputFile::commit() {
    if (!f_) return false;
    bool ok = !failed_ && std::fflush(f_) == 0 && !std::ferror(f_);
    if (ok) ok = _commit(_fileno(f_)) == 0;
    if (std::fclose(f_) != 0) ok = false;
    f_ = nullptr;
    // The rename replaces an earlier file of the final name.
    if (ok && !MoveFileExA(temp_.c_str(), final_.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        ok = false;
    if (!ok) std::remove(temp_.c_str());
    temp_.clear();
    return ok;
}

#else

bool is_special_file(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    return !S_ISREG(st.st_mode);
}

std::FILE* open_regular(const std::string& path, const char* mode, bool& not_regular) {
    not_regular = false;
    // Non-blocking, so that opening a FIFO with no writer returns at once.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        not_regular = is_special_file(path);
        return nullptr;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        not_regular = true;
        ::close(fd);
        return nullptr;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* f = ::fdopen(fd, mode);
    if (!f) ::close(fd);
    return f;
}

bool same_file(const std::string& a, const std::string& b) {
    struct stat x, y;
    if (::stat(a.c_str(), &x) != 0 || ::stat(b.c_str(), &y) != 0) return false;
    return x.st_dev == y.st_dev && x.st_ino == y.st_ino;
}

bool OutputFile::open(const std::string& final_path, bool /*text*/) {
    abandon();
    // A link at the final name is replaced by the rename; anything else that is not a
    // regular file (a folder, a FIFO, a device) is never written to.
    struct stat st;
    if (::lstat(final_path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    const std::string folder = folder_of(final_path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = temp_name(folder);
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                              0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return false;
        }
        f_ = ::fdopen(fd, "wb");
        if (!f_) {
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        final_ = final_path;
        temp_ = temp;
        failed_ = false;
        return true;
    }
    return false;
}

bool OutputFile::commit() {
    if (!f_) return false;
    bool ok = !failed_ && std::fflush(f_) == 0 && !std::ferror(f_);
    if (ok) ok = ::fsync(::fileno(f_)) == 0;
    if (std::fclose(f_) != 0) ok = false;
    f_ = nullptr;
    if (ok && ::rename(temp_.c_str(), final_.c_str()) != 0) ok = false;
    if (!ok) ::unlink(temp_.c_str());
    temp_.clear();
    return ok;
}

#endif

long long free_bytes(const std::string& path) {
    const std::string in = folder_of(path);
    const std::string folder = in.empty() ? std::string(".") : in;
#ifdef _WIN32
    ULARGE_INTEGER avail;
    if (!GetDiskFreeSpaceExA(folder.c_str(), &avail, nullptr, nullptr)) return -1;
    return static_cast<long long>(avail.QuadPart);
#else
    struct statvfs vfs;
    if (::statvfs(folder.c_str(), &vfs) != 0) return -1;
    return static_cast<long long>(vfs.f_bavail) * static_cast<long long>(vfs.f_frsize);
#endif
}

bool OutputFile::write(const void* data, std::size_t n) {
    if (!f_ || failed_) return false;
    failed_ = n != 0 && std::fwrite(data, 1, n, f_) != n;
    return !failed_;
}

bool OutputFile::seek(long long offset) {
    if (!f_ || failed_) return false;
#ifdef _WIN32
    failed_ = _fseeki64(f_, offset, SEEK_SET) != 0;
#else
    failed_ = fseeko(f_, static_cast<off_t>(offset), SEEK_SET) != 0;
#endif
    return !failed_;
}

void OutputFile::abandon() {
    if (f_) {
        std::fclose(f_);
        f_ = nullptr;
    }
    if (!temp_.empty()) {
        std::remove(temp_.c_str());
        temp_.clear();
    }
}
