#include "formats/raw.h"

#include <cctype>
#include <climits>
#include <cmath>

#include "core/answers.h"
#include "formats/file_io.h"
#include "formats/format.h"
#include "raster/output_file.h"
#include "text/catalogue.h"

namespace {

// Reads one "%d" from `f`: white space, an optional sign, then digits. False when no
// digit follows or the value does not fit in an int.
bool scan_int(std::FILE* f, int& v) {
    int c;
    do c = std::getc(f);
    while (c != EOF && std::isspace(c));
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = std::getc(f);
    }
    if (c == EOF || !std::isdigit(c)) return false;
    long long x = 0;
    for (; c != EOF && std::isdigit(c); c = std::getc(f)) {
        x = x * 10 + (c - '0');
        if (x > static_cast<long long>(INT_MAX) + 1) return false;
    }
    if (c != EOF) std::ungetc(c, f);
    if (negative) x = -x;
    if (x < INT_MIN || x > INT_MAX) return false;
    v = static_cast<int>(x);
    return true;
}

}  // namespace

int trunc_to_int(double x) {
    if (std::isnan(x)) return 0;
    if (x >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (x <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(x);
}

Status read_raw_header(const std::string& name, RawHeader& h) {
    bool not_regular = false;
    std::FILE* f = open_regular(name, "r", not_regular);
    if (!f && not_regular) return Status::refused(name, txt::reason_not_regular);
    if (!f) return Status::make(Status::Code::Missing, name, txt::raw_header_missing, {name});
    RawHeader r;
    const bool ok = scan_int(f, r.nb_lig) && scan_int(f, r.nb_col) && scan_int(f, r.val) &&
                    scan_int(f, r.min_al) && scan_int(f, r.max_al) && scan_int(f, r.pix_size);
    std::fclose(f);
    if (!ok) return Status::refused(name, txt::reason_header_unreadable);
    h = r;
    return Status::success();
}

bool write_raw_header(const std::string& name, const RawHeader& h) {
    // Binary mode: the same bytes on every system, one "\n" after each value.
    OutputFile out;
    if (!out.open(name)) return false;
    const std::string text = raw_header_text(h);
    return out.write(text.data(), text.size()) && out.commit();
}

std::string raw_header_text(const RawHeader& h) {
    char text[128];
    std::snprintf(text, sizeof text, "%d\n%d\n%d\n%d\n%d\n%d\n", h.nb_lig, h.nb_col, h.val,
                  h.min_al, h.max_al, h.pix_size);
    return text;
}

RawHeader raw_header_of(const engine::MapInfo& info) {
    RawHeader h;
    h.nb_lig = info.nb_lig;
    h.nb_col = info.nb_col;
    h.pix_size = trunc_to_int(info.dpix_size);
    return h;
}

namespace formats {

namespace {

using engine::MapInfo;

class RawSource final : public engine::RowSource {
  public:
    Status open(const std::string& name, int nb_lig, int nb_col, double dpix_size) {
        name_ = name;
        info_.nb_lig = nb_lig;
        info_.nb_col = nb_col;
        info_.dpix_size = dpix_size;
        if (nb_lig <= 0 || nb_col <= 0)
            return Status::refused(name, txt::reason_bad_sizes, {nb_lig, nb_col});
        const long long size = regular_file_size(name);
        if (size == -2) return Status::refused(name, txt::reason_not_regular);
        if (size >= 0) f_ = std::fopen(name.c_str(), "rb");
        if (!f_) return Status::make(Status::Code::Missing, name, txt::raw_pixels_missing, {name});
        const long long expected = info_.pixels();
        if (size < expected) return Status::refused(name, txt::reason_raw_short, {size, expected});
        info_.extra_bytes = size - expected;
        return {};
    }
    ~RawSource() override {
        if (f_) std::fclose(f_);
    }
    Status read(int y, int n, unsigned char* const* rows) override {
        const auto width = static_cast<std::size_t>(info_.nb_col);
        if (y != next_ && !seek_to(f_, static_cast<long long>(y) * info_.nb_col))
            return Status::refused(name_, txt::reason_cannot_open);
        for (int k = 0; k < n; ++k) {
            if (std::fread(rows[k], 1, width, f_) != width) {
                next_ = -1;
                return Status::refused(
                    name_, std::ferror(f_) ? txt::reason_cannot_open : txt::reason_too_short);
            }
        }
        next_ = y + n;
        return {};
    }

  private:
    std::string name_;
    std::FILE* f_ = nullptr;
    int next_ = 0;  // the row the stream stands at; -1 when unknown
};

bool raw_layout(const MapInfo& info, ByteLayout& out) {
    out = ByteLayout{};
    out.stride = info.nb_col;
    out.row_bytes = [](const unsigned char* row, int nb_col, std::string& bytes) {
        bytes.assign(reinterpret_cast<const char*>(row), static_cast<std::size_t>(nb_col));
    };
    out.side_extension = ".txt";
    out.side_bytes = raw_header_text(raw_header_of(info));
    return true;
}

// The raw pixel file and its header; bands go to their offsets.
class RawSink final : public engine::RowSink {
  public:
    Status open(const std::string& base, const MapInfo& info) {
        info_ = info;
        raw_layout(info, layout_);
        name_ = base + ".raw";
        const std::string& head = layout_.side_bytes;
        if (!header_.open(base + layout_.side_extension) || !header_.write(head.data(), head.size()))
            return Status::not_written(base + layout_.side_extension);
        if (!pixels_.open(name_)) return Status::not_written(name_);
        return {};
    }
    Status write(int y, int n, const unsigned char* const* rows) override {
        if (!pixels_.seek(layout_.offset(y, info_.nb_lig))) return Status::not_written(name_);
        for (int k = 0; k < n; ++k)
            if (!pixels_.write(rows[k], static_cast<std::size_t>(info_.nb_col)))
                return Status::not_written(name_);
        return {};
    }
    // The header comes into place first, as the whole-image writer creates it first.
    Status commit() override {
        if (!header_.commit()) return Status::not_written(header_.final_path());
        if (!pixels_.commit()) return Status::not_written(name_);
        return {};
    }

  private:
    MapInfo info_;
    ByteLayout layout_;
    OutputFile header_;
    OutputFile pixels_;
};

std::unique_ptr<engine::RowSource> open_source(const std::string& path, const MapInfo& declared,
                                               Status& st) {
    return open_raw_source(path, declared.nb_lig, declared.nb_col, declared.dpix_size, st);
}

std::unique_ptr<engine::RowSink> make_sink(const std::string& base, const MapInfo& info,
                                           Status& st) {
    auto s = std::make_unique<RawSink>();
    st = s->open(base, info);
    if (!st.ok()) return nullptr;
    return s;
}

}  // namespace

std::unique_ptr<engine::RowSource> open_raw_source(const std::string& name, int nb_lig, int nb_col,
                                                   double dpix_size, Status& st) {
    auto s = std::make_unique<RawSource>();
    st = s->open(name, nb_lig, nb_col, dpix_size);
    if (!st.ok()) return nullptr;
    return s;
}

const Format& raw_format() {
    // The header beside the pixels states the map's pixel size.
    static const Format f{"raw",      kRaster,   {".raw", nullptr, nullptr}, open_source,
                          make_sink,  raw_layout, ".txt", /*carries_pixel_size=*/true};
    return f;
}

}  // namespace formats
