#include "text/status_text.h"

#include <string_view>
#include <utility>
#include <vector>

#include "text/catalogue.h"

namespace {

std::string format_status(const Msg& m, const std::vector<StatusValue>& values, bool utf8) {
    std::vector<Arg> args;
    args.reserve(values.size());
    for (const StatusValue& v : values) {
        if (const auto* i = std::get_if<long long>(&v)) {
            args.emplace_back(*i);
        } else if (const auto* d = std::get_if<double>(&v)) {
            args.emplace_back(*d);
        } else {
            args.emplace_back(std::get<std::string>(v));
        }
    }
    return format_text(m.text, std::string_view(m.acc.data(), m.acc.size()), args.data(),
                       args.size(), utf8);
}

std::string trim(std::string s) {
    const auto first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

}  // namespace

Status Status::cancelled() {
    Status s;
    s.code = Code::Cancelled;
    s.message = &txt::run_cancelled;
    return s;
}

Status Status::out_of_memory() {
    return make(Code::OutOfMemory, {}, txt::memory_exhausted);
}

Status Status::not_written(std::string file, std::string detail) {
    Status s = make(Code::NotWritten, file, txt::result_not_written, {file});
    s.detail = std::move(detail);
    return s;
}

std::string status_text(const Status& s, int idiom, bool utf8) {
    if (s.reason) {
        const std::string why = format_status(s.reason->in(idiom), s.args, utf8);
        const Msg& m = txt::file_refused.in(idiom);
        return format_text(m.text, std::string_view(m.acc.data(), m.acc.size()),
                           {Arg(s.file), Arg(why)}, utf8);
    }
    if (s.message) return format_status(s.message->in(idiom), s.args, utf8);
    return s.detail;
}

std::string status_line(const Status& s, int idiom, bool utf8) {
    std::string line = trim(status_text(s, idiom, utf8));
    if (!s.detail.empty() && (s.reason || s.message)) line += ": " + s.detail;
    return line;
}
