#include "results/result_names.h"

#include <algorithm>
#include <string_view>

#include "formats/format.h"
#include "raster/output_file.h"

NameProblem result_name_problem(const std::string& name) {
    if (name.empty()) return NameProblem::Empty;
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 32) return NameProblem::Control;
    }
    for (char c : name) {
#ifdef _WIN32
        // A drive letter or a stream name would take the files elsewhere as well.
        if (c == '/' || c == '\\' || c == ':') return NameProblem::Separator;
#else
        if (c == '/') return NameProblem::Separator;
#endif
    }
    if (name.find("..") != std::string::npos) return NameProblem::DotDot;
    return NameProblem::None;
}

std::string printable_name(const std::string& name) {
    std::string s = name;
    for (char& c : s)
        if (static_cast<unsigned char>(c) < 32) c = '?';
    return s;
}

std::vector<std::string> result_outputs(const std::string& base) {
    // The extensions of every result format (the program's own first), each with the
    // file that goes beside it.
    std::vector<const char*> extensions;
    auto add = [&](const char* ext) {
        if (ext && std::find_if(extensions.begin(), extensions.end(), [&](const char* e) {
                       return std::string_view(e) == ext;
                   }) == extensions.end())
            extensions.push_back(ext);
    };
    for (const bool native : {true, false})
        for (const formats::Format& f : formats::all_formats())
            if (f.code >= 0 && f.native() == native) {
                add(f.extension());
                add(f.side_extension);
            }
    std::vector<std::string> out = {base + "_info.txt"};
    for (const char* image : {"_diversity", "_homog"})
        for (const char* ext : extensions) out.push_back(base + image + ext);
    return out;
}

std::string clashing_output(const std::string& base, const std::vector<std::string>& inputs,
                            std::string& input) {
    for (const std::string& out : result_outputs(base)) {
        for (const std::string& in : inputs) {
            if (in.empty()) continue;
            if (out == in || same_file(out, in)) {
                input = in;
                return out;
            }
        }
    }
    input.clear();
    return {};
}
