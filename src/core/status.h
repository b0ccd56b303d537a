// What a stage hands back instead of printing: success, or what went wrong with the
// values a front end needs to put it into words (in the run's language, on its own
// output). Stages never print; only the dialogue and the command line do.
#pragma once

#include <string>
#include <utility>
#include <variant>
#include <vector>

struct Text;  // a message of the catalogue, in the three languages

// One value of a message: a whole number, a real or a text.
using StatusValue = std::variant<long long, double, std::string>;

struct [[nodiscard]] Status {
    enum class Code {
        Ok,
        NeedsHeader,  // a raw map without its header: lines, columns and pixel size wanted
        Missing,      // the map file is not there (message: the format's missing-file line)
        Refused,      // the map file is refused (`reason` says why)
        NotWritten,   // an output file could not be written
        OutOfMemory,  // a grid could not be allocated (message names its size)
        Usage,        // the request itself is wrong (command line)
        Cancelled,    // the progress callback asked to stop (no message: the front end says)
    };
    Code code = Code::Ok;
    std::string file;               // the file concerned
    const Text* message = nullptr;  // the whole message, with `args`
    const Text* reason = nullptr;   // for Refused: why, with `args`
    std::vector<StatusValue> args;
    std::string detail;  // a text of its own (messages of an outside library)

    bool ok() const { return code == Code::Ok; }

    static Status success() { return {}; }
    // A wrong request, with the words of its own (English: an outside library's message).
    static Status usage(std::string detail) {
        Status s;
        s.code = Code::Usage;
        s.detail = std::move(detail);
        return s;
    }
    // A wrong request, in the catalogue's words (in the run's language).
    static Status usage(const Text& message, std::vector<StatusValue> args = {}) {
        Status s;
        s.code = Code::Usage;
        s.message = &message;
        s.args = std::move(args);
        return s;
    }
    // Defined with the catalogue's words (status_text.cpp).
    static Status cancelled();
    // Memory for rows or a grid could not be allocated.
    static Status out_of_memory();
    // The output file `file` could not be created or written in full; `detail`: what the
    // system or an outside library said, if anything.
    static Status not_written(std::string file, std::string detail = {});
    static Status refused(std::string file, const Text& reason,
                          std::vector<StatusValue> args = {}) {
        Status s;
        s.code = Code::Refused;
        s.file = std::move(file);
        s.reason = &reason;
        s.args = std::move(args);
        return s;
    }
    static Status make(Code code, std::string file, const Text& message,
                       std::vector<StatusValue> args = {}) {
        Status s;
        s.code = code;
        s.file = std::move(file);
        s.message = &message;
        s.args = std::move(args);
        return s;
    }
};
