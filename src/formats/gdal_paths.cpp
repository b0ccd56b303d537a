// The local files behind the paths GDAL names, and the temporary names of results.
#include "formats/gdal_internal.h"

#include <cpl_minixml.h>
#include <cpl_string.h>
#include <sys/stat.h>

#include <cctype>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <random>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool is_vrt(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".vrt";
}

}  // namespace

namespace gdal_impl {

std::string local_file(std::string path) {
    if (path.rfind("/vsi", 0) == 0) {
        const std::size_t slash = path.find('/', 1);
        if (slash == std::string::npos) return {};
        const std::string handler = path.substr(0, slash + 1);
        path.erase(0, slash + 1);
        if (handler == "/vsisubfile/") {
            const std::size_t comma = path.find(',');
            if (comma == std::string::npos) return {};
            path.erase(0, comma + 1);
        }
        if (path.rfind("/vsi", 0) == 0) return local_file(path);
        if (path.empty()) return {};
    }
    std::error_code ec;
    for (fs::path p(path); !p.empty(); p = p.parent_path()) {
        if (fs::exists(p, ec)) return fs::is_directory(p, ec) ? std::string() : p.string();
        if (p == p.parent_path()) break;
    }
    return {};
}

std::string special_file_in(const std::string& path, int depth) {
    const std::string local = local_file(path);
    if (local.empty()) return {};
    struct stat st;
    if (::stat(local.c_str(), &st) != 0) return {};
    if (!S_ISREG(st.st_mode)) return local;
    if (depth > 8 || local != path || !is_vrt(path)) return {};
    CPLXMLNode* root = CPLParseXMLFile(path.c_str());
    if (!root) return {};
    std::string found;
    const fs::path folder = fs::path(path).parent_path();
    // Every SourceFilename element, wherever it is in the tree.
    std::vector<CPLXMLNode*> todo = {root};
    while (!todo.empty() && found.empty()) {
        CPLXMLNode* n = todo.back();
        todo.pop_back();
        for (; n && found.empty(); n = n->psNext) {
            if (n->eType != CXT_Element) continue;
            if (EQUAL(n->pszValue, "SourceFilename")) {
                std::string name = CPLGetXMLValue(n, nullptr, "");
                if (name.empty()) continue;
                if (EQUAL(CPLGetXMLValue(n, "relativeToVRT", "0"), "1"))
                    name = (folder / name).string();
                found = special_file_in(name, depth + 1);
            } else if (n->psChild) {
                todo.push_back(n->psChild);
            }
        }
    }
    CPLDestroyXMLNode(root);
    return found;
}

std::string temporary_name(const std::string& path) {
    static std::mutex m;
    static std::mt19937_64 draw{std::random_device{}() ^
                                static_cast<std::uint64_t>(
                                    std::chrono::steady_clock::now().time_since_epoch().count())};
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::lock_guard<std::mutex> lock(m);
    std::string name = ".landmosaic-";
    for (int k = 0; k < 12; ++k) name += digits[draw() % 36];
    name += ".tmp";
    return (fs::path(path).parent_path() / name).string();
}

std::string sidecar(const std::string& path) { return path + ".aux.xml"; }

bool rename_with_sidecar(const std::string& from, const std::string& to, std::error_code& ec) {
    ec.clear();
    std::error_code unused;
    if (fs::symlink_status(sidecar(from), unused).type() == fs::file_type::regular)
        fs::rename(sidecar(from), sidecar(to), ec);
    else if (fs::is_regular_file(fs::symlink_status(sidecar(to), unused)) ||
             fs::is_symlink(fs::symlink_status(sidecar(to), unused)))
        fs::remove(sidecar(to), ec);
    if (ec) return false;
    fs::rename(from, to, ec);
    if (ec) fs::remove(sidecar(to), unused);
    return !ec;
}

void remove_with_sidecar(const std::string& path) {
    std::error_code ec;
    fs::remove(path, ec);
    fs::remove(sidecar(path), ec);
}

}  // namespace gdal_impl
