// Result names that are safe to use: they stay in the map's folder and no output made
// from them can replace the map or its header.
#pragma once

#include <string>
#include <vector>

enum class NameProblem {
    None,
    Empty,      // nothing typed
    Separator,  // a folder separator: the files would leave the map's folder
    DotDot,     // ".." anywhere in the name
    Control,    // a byte below 32 (NUL included), which would cut or garble the paths
};

// What is wrong with a generic result name, if anything.
NameProblem result_name_problem(const std::string& name);

// The name as it may be shown on the console: every control byte becomes '?'.
std::string printable_name(const std::string& name);

// Every file a run may write under the result base (nomim3): the report, then both
// images in each result format with their raw headers.
std::vector<std::string> result_outputs(const std::string& base);

// The first output of `base` that would be one of `inputs` (the same name, or the same
// file under another spelling or link), or "" when none would. `input` is set to the
// input it would replace.
std::string clashing_output(const std::string& base, const std::vector<std::string>& inputs,
                            std::string& input);
