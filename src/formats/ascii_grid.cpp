#include "formats/ascii_grid.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/answers.h"
#include "formats/file_io.h"
#include "formats/format.h"
#include "raster/file_handle.h"
#include "raster/output_file.h"
#include "text/catalogue.h"

namespace {

inline bool is_blank(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Splits a file into white-space separated tokens, reading it in large blocks.
class Tokens {
  public:
    explicit Tokens(std::FILE* f) : f_(f), buf_(kBlock) {}

    // The next token, valid until the next call; false at the end of the file or on a
    // read error (see failed()).
    bool next(std::string_view& tok) {
        for (;;) {
            while (pos_ < end_ && is_blank(static_cast<unsigned char>(buf_[pos_]))) ++pos_;
            if (pos_ < end_) break;
            if (!refill()) return false;
        }
        std::size_t k = pos_;
        for (;;) {
            while (k < end_ && !is_blank(static_cast<unsigned char>(buf_[k]))) ++k;
            if (k < end_ || eof_) break;
            // The token runs on into the next block: keep its start and read more.
            k -= pos_;
            if (!refill()) {
                if (failed_) return false;
            }
            k += pos_;
        }
        tok = std::string_view(buf_.data() + pos_, k - pos_);
        pos_ = k;
        return true;
    }
    bool failed() const { return failed_; }
    // Bytes of the file before the current position.
    unsigned long long offset() const { return consumed_ + pos_; }

  private:
    static constexpr std::size_t kBlock = 1 << 20;

    // Moves what is left to the front, grows the buffer when a single token fills it,
    // and reads the next block. False when nothing more could be read.
    bool refill() {
        if (eof_) return false;
        const std::size_t left = end_ - pos_;
        if (left > 0 && pos_ > 0) std::memmove(buf_.data(), buf_.data() + pos_, left);
        consumed_ += pos_;
        pos_ = 0;
        end_ = left;
        if (end_ == buf_.size()) buf_.resize(buf_.size() * 2);
        const std::size_t got = std::fread(buf_.data() + end_, 1, buf_.size() - end_, f_);
        end_ += got;
        if (got == 0) {
            eof_ = true;
            failed_ = std::ferror(f_) != 0;
            return false;
        }
        return true;
    }

    std::FILE* f_;
    std::vector<char> buf_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    unsigned long long consumed_ = 0;
    bool eof_ = false;
    bool failed_ = false;
};

// The whole token as a real number ("%lf"); false when it is not one, or when it is
// infinite or not a number and `finite` is asked for.
bool to_double(std::string_view tok, double& v, bool finite = true) {
    if (tok.empty() || tok.size() > 400) return false;
    // Decimal numbers only: strtod would also take "0x10" and "0x1p4".
    if (tok.find_first_of("xX") != std::string_view::npos) return false;
    char text[401];
    std::memcpy(text, tok.data(), tok.size());
    text[tok.size()] = '\0';
    char* end = nullptr;
    errno = 0;
    const double x = std::strtod(text, &end);
    if (end != text + tok.size() || (finite && !std::isfinite(x))) return false;
    v = x;
    return true;
}

// How one cell reads.
enum class Cell { Value, NoData, NotInteger };

// A cell: an integer, written with digits and optionally a fraction of zeros ("3.0"),
// keeps its low 8 bits (the value modulo 256, two's complement for negatives). Any
// other number is accepted only when it equals the no-data value.
class CellReader {
  public:
    CellReader(bool has_nodata, double nodata) : has_nodata_(has_nodata), nodata_(nodata) {
        nodata_integral_ = has_nodata && nodata == std::floor(nodata) &&
                           std::fabs(nodata) < 9.0e15;  // exact as a long long
        if (nodata_integral_) nodata_int_ = static_cast<long long>(nodata);
    }

    Cell read(std::string_view tok, unsigned char& out) const {
        const char* p = tok.data();
        const char* e = p + tok.size();
        bool negative = false;
        if (p < e && (*p == '-' || *p == '+')) negative = *p++ == '-';
        const char* digits = p;
        long long x = 0;
        unsigned low = 0;  // the value modulo 256, exact for any number of digits
        while (p < e && *p >= '0' && *p <= '9') {
            const int d = *p - '0';
            if (p - digits < 17) x = x * 10 + d;
            low = (low * 10 + static_cast<unsigned>(d)) & 0xFF;
            ++p;
        }
        const bool long_number = p - digits > 17;
        if (p > digits && p < e && *p == '.') {
            const char* q = p + 1;
            while (q < e && *q == '0') ++q;
            if (q == e) p = e;  // "3.", "3.0", "3.000": the integer 3
        }
        if (p == digits || p != e) return slow(tok, out);
        if (negative) {
            x = -x;
            low = (256 - low) & 0xFF;
        }
        if (has_nodata_) {
            if (long_number ? equals_nodata(tok) : nodata_integral_ && x == nodata_int_) {
                out = 255;
                return Cell::NoData;
            }
        }
        out = static_cast<unsigned char>(low);
        return Cell::Value;
    }

  private:
    bool equals_nodata(std::string_view tok) const {
        double v = 0;
        return to_double(tok, v) && v == nodata_;
    }

    // Anything but plain digits: the no-data value written otherwise ("-9999.9999",
    // "-3.4e38", "-inf"), an integer in another notation ("1e2"), or not an integer at all.
    Cell slow(std::string_view tok, unsigned char& out) const {
        double v = 0;
        if (!to_double(tok, v, false)) return Cell::NotInteger;
        if (has_nodata_ && v == nodata_) {
            out = 255;
            return Cell::NoData;
        }
        if (!std::isfinite(v) || v != std::floor(v)) return Cell::NotInteger;
        double r = std::fmod(v, 256.0);
        if (r < 0) r += 256.0;
        out = static_cast<unsigned char>(r);
        return Cell::Value;
    }

    bool has_nodata_;
    double nodata_;
    bool nodata_integral_ = false;
    long long nodata_int_ = 0;
};

// "%d\t" for every byte value, built once.
struct CellTexts {
    char text[256][4];
    unsigned char len[256];
};
constexpr CellTexts make_cell_texts() {
    CellTexts t{};
    for (int v = 0; v < 256; ++v) {
        char digits[3] = {};
        int n = 0;
        int x = v;
        do {
            digits[n++] = static_cast<char>('0' + x % 10);
            x /= 10;
        } while (x > 0);
        for (int k = 0; k < n; ++k) t.text[v][k] = digits[n - 1 - k];
        t.text[v][n] = '\t';
        t.len[v] = static_cast<unsigned char>(n + 1);
    }
    return t;
}
constexpr CellTexts kCellText = make_cell_texts();

}  // namespace

struct AsciiGridReader::State {
    std::string name;
    File file{nullptr};
    Tokens in{nullptr};
    CellReader cell{false, 0.0};
    int nb_col = 0;
    bool pending = false;
    std::string first_cell;  // copied: the next read may replace the block it lies in
};

AsciiGridReader::AsciiGridReader() = default;
AsciiGridReader::~AsciiGridReader() = default;

namespace {

// The header's pairs from `in`: five keyword-value pairs taken by position, then the
// no-data pair, which may be missing (the next token is then the first cell, kept in
// `s`). The five values go to `values`; `header_end` is where the fifth pair ends.
Status read_grid_header(AsciiGridReader::State& s, AsciiGrid& g, double (&values)[5],
                        unsigned long long& header_end) {
    Tokens& in = s.in;
    std::string_view tok;
    auto fail_token = [&] {
        return Status::refused(
            s.name, in.failed() ? txt::reason_cannot_open : txt::reason_header_unreadable);
    };
    // A keyword that reads as a number means a pair is missing.
    for (double& v : values) {
        double unused = 0;
        if (!in.next(tok)) return fail_token();
        if (to_double(tok, unused)) return Status::refused(s.name, txt::reason_header_unreadable);
        if (!in.next(tok) || !to_double(tok, v)) return fail_token();
    }
    header_end = in.offset();
    if (in.next(tok)) {
        double unused = 0;
        // A token that begins like a number is a cell, even one refused later ("0x10").
        const char c0 = tok[0];
        if (to_double(tok, unused) || (c0 >= '0' && c0 <= '9') || c0 == '-' || c0 == '+' ||
            c0 == '.') {
            s.pending = true;
            s.first_cell = tok;
        } else {
            // Any real, "nan" and "inf" included: only a cell equal to it is affected.
            if (!in.next(tok) || !to_double(tok, g.nodata, false)) return fail_token();
            g.has_nodata = true;
        }
    } else if (in.failed()) {
        return Status::refused(s.name, txt::reason_cannot_open);
    }
    return Status::success();
}

}  // namespace

Status AsciiGridReader::open(const std::string& name, AsciiGrid& g, long long max_cells) {
    g = AsciiGrid{};
    s_.reset();
    bool not_regular = false;
    std::FILE* f = open_regular(name, "rb", not_regular);
    if (!f && not_regular) return Status::refused(name, txt::reason_not_regular);
    if (!f) return Status::make(Status::Code::Missing, name, txt::ascii_missing, {name});
    auto s = std::make_unique<State>();
    s->name = name;
    s->file.f = f;
    std::error_code ec;
    const auto size = std::filesystem::file_size(std::filesystem::path(name), ec);
    if (ec) return Status::refused(name, txt::reason_cannot_open);
    const auto file_bytes = static_cast<unsigned long long>(size);

    s->in = Tokens(f);
    double values[5] = {};
    unsigned long long header_end = 0;
    if (Status h = read_grid_header(*s, g, values, header_end); !h.ok()) return h;

    // Columns and rows must be whole numbers.
    auto whole = [](double v, int& out) {
        if (v != std::floor(v) || v < INT_MIN || v > INT_MAX) return false;
        out = static_cast<int>(v);
        return true;
    };
    if (!whole(values[0], g.nb_col) || !whole(values[1], g.nb_lig))
        return Status::refused(name, txt::reason_header_unreadable);
    g.X_min = values[2];
    g.Y_min = values[3];
    g.dpix_size = values[4];
    if (g.nb_col <= 0 || g.nb_lig <= 0)
        return Status::refused(name, txt::reason_bad_sizes, {g.nb_lig, g.nb_col});
    const long long cells = static_cast<long long>(g.nb_col) * g.nb_lig;
    if (cells > max_cells)
        return Status::refused(name, txt::reason_too_large, {g.nb_lig, g.nb_col});
    // Every cell takes at least one character and one separator but the last: a file
    // that cannot hold them all is refused before anything is allocated.
    const unsigned long long room = file_bytes > header_end ? file_bytes - header_end : 0;
    if (static_cast<unsigned long long>(cells) > (room + 1) / 2)
        return Status::refused(name, txt::reason_few_cells);

    s->cell = CellReader(g.has_nodata, g.nodata);
    s->nb_col = g.nb_col;
    s_ = std::move(s);
    return Status::success();
}

Status AsciiGridReader::read_line(unsigned char* row) {
    if (!s_) return Status::refused({}, txt::reason_cannot_open);
    State& s = *s_;
    std::string_view tok;
    for (int j = 0; j < s.nb_col; ++j) {
        if (s.pending) {
            s.pending = false;
            tok = s.first_cell;
        } else if (!s.in.next(tok)) {
            return Status::refused(s.name,
                                   s.in.failed() ? txt::reason_cannot_open : txt::reason_few_cells);
        }
        if (s.cell.read(tok, row[j]) == Cell::NotInteger) {
            // The cell as written in the file, cut when it is long.
            constexpr std::size_t kShown = 40;
            std::string bad =
                tok.size() > kShown ? std::string(tok.substr(0, kShown)) + "..." : std::string(tok);
            return Status::refused(s.name, txt::reason_not_integer, {std::move(bad)});
        }
    }
    return Status::success();
}

bool AsciiGridReader::more_cells() {
    if (!s_) return false;
    std::string_view tok;
    return s_->pending || s_->in.next(tok);
}

namespace formats {

namespace {

using engine::MapInfo;

class AsciiSource final : public engine::RowSource {
  public:
    Status open(const std::string& name, long long max_pixels) {
        name_ = name;
        max_pixels_ = max_pixels;
        const long long size = regular_file_size(name);
        if (size == -2) return Status::refused(name, txt::reason_not_regular);
        if (size < 0) return Status::make(Status::Code::Missing, name, txt::ascii_missing, {name});
        reader_ = std::make_unique<AsciiGridReader>();
        AsciiGrid g;
        if (Status e = reader_->open(name, g, max_pixels > 0 ? max_pixels : LLONG_MAX); !e.ok())
            return e;
        info_.nb_col = g.nb_col;
        info_.nb_lig = g.nb_lig;
        info_.X_min = g.X_min;
        info_.Y_min = g.Y_min;
        info_.dpix_size = g.dpix_size;
        info_.UTM_coord = true;
        info_.has_nodata = g.has_nodata;
        info_.nodata = g.nodata;
        next_ = 0;
        return {};
    }
    bool random_access() const override { return false; }
    Status restart() override { return open(name_, max_pixels_); }
    Status read(int y, int n, unsigned char* const* rows) override {
        if (y != next_ || !reader_) return Status::refused(name_, txt::reason_cannot_open);
        for (int k = 0; k < n; ++k) {
            if (Status e = reader_->read_line(rows[k]); !e.ok()) {
                reader_.reset();
                return e;
            }
        }
        next_ = y + n;
        if (n > 0 && next_ == info_.nb_lig) info_.extra_cells = reader_->more_cells();
        return {};
    }

  private:
    std::string name_;
    std::unique_ptr<AsciiGridReader> reader_;
    int next_ = 0;
    long long max_pixels_ = 0;
};

// The header, then rows of text: every cell "%d\t", no line ever ending.
bool ascii_layout(const MapInfo& info, ByteLayout& out) {
    out = ByteLayout{};
    out.head = ascii_head(info);
    out.stride = 0;
    out.row_bytes = ascii_row_text;
    return true;
}

class AsciiSink final : public engine::RowSink {
  public:
    Status open(const std::string& base, const MapInfo& info) {
        info_ = info;
        name_ = base + ".asc";
        const std::string head = ascii_head(info);
        if (!file_.open(name_) || !file_.write(head.data(), head.size()))
            return Status::not_written(name_);
        return {};
    }
    Status write(int y, int n, const unsigned char* const* rows) override {
        if (y != next_) return Status::not_written(name_);
        for (int k = 0; k < n; ++k) {
            ascii_row_text(rows[k], info_.nb_col, text_);
            if (!file_.write(text_.data(), text_.size())) return Status::not_written(name_);
        }
        next_ = y + n;
        return {};
    }
    Status commit() override {
        if (next_ != info_.nb_lig || !file_.commit()) return Status::not_written(name_);
        return {};
    }

  private:
    MapInfo info_;
    OutputFile file_;
    std::string text_;
    int next_ = 0;
};

std::unique_ptr<engine::RowSource> open_source(const std::string& path, const MapInfo& declared,
                                               Status& st) {
    return open_ascii_source(path, st, declared.max_pixels);
}

std::unique_ptr<engine::RowSink> make_sink(const std::string& base, const MapInfo& info,
                                           Status& st) {
    auto s = std::make_unique<AsciiSink>();
    st = s->open(base, info);
    if (!st.ok()) return nullptr;
    return s;
}

}  // namespace

std::unique_ptr<engine::RowSource> open_ascii_source(const std::string& name, Status& st,
                                                     long long max_pixels) {
    auto s = std::make_unique<AsciiSource>();
    st = s->open(name, max_pixels);
    if (!st.ok()) return nullptr;
    return s;
}

std::string ascii_head(const MapInfo& info) {
    const char* fmt =
        "ncols %d\nnrows %d\nxllcorner %lf\nyllcorner %lf\ncellsize %lf\nnodata_value -9999.9999\n";
    const int n = std::snprintf(nullptr, 0, fmt, info.nb_col, info.nb_lig, info.X_min, info.Y_min,
                                info.dpix_size);
    std::string text(static_cast<std::size_t>(n > 0 ? n : 0) + 1, '\0');
    std::snprintf(text.data(), text.size(), fmt, info.nb_col, info.nb_lig, info.X_min, info.Y_min,
                  info.dpix_size);
    text.resize(text.size() - 1);
    return text;
}

void ascii_row_text(const unsigned char* row, int nb_col, std::string& out) {
    out.resize(static_cast<std::size_t>(nb_col) * 4);
    char* p = out.data();
    for (int j = 0; j < nb_col; ++j) {
        std::memcpy(p, kCellText.text[row[j]], 4);
        p += kCellText.len[row[j]];
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

const Format& ascii_grid_format() {
    // A grid states its cell size and lower left corner, runs north-up, and is read in
    // one forward pass.
    static const Format f{"asc",        kAscii,  {".asc", nullptr, nullptr}, open_source,
                          make_sink,    ascii_layout, nullptr, /*carries_pixel_size=*/true,
                          /*needs_corner=*/true, /*forward_only=*/true};
    return f;
}

}  // namespace formats
