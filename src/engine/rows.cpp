#include "engine/rows.h"

#include <climits>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "raster/ascii_grid.h"
#include "raster/image.h"
#include "raster/little_endian.h"
#include "raster/output_file.h"
#include "raster/raw_format.h"

namespace engine {

namespace {

namespace fs = std::filesystem;

// 64-bit positions on every system (a long is 32 bits on Windows).
bool seek_to(std::FILE* f, long long offset) {
#ifdef _WIN32
    return _fseeki64(f, offset, SEEK_SET) == 0;
#else
    return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

// The size of a regular file; -2 for something that is not a regular file, -1 when
// there is nothing or it cannot be examined.
long long regular_file_size(const std::string& name) {
    std::error_code ec;
    const fs::path p(name);
    const fs::file_status st = fs::status(p, ec);
    if (ec || !fs::exists(st)) return -1;
    if (!fs::is_regular_file(st)) return -2;
    const auto n = fs::file_size(p, ec);
    if (ec) return -1;
    return static_cast<long long>(n);
}

Status fault(Fault f, const std::string& file, std::string detail = {}) {
    return Status{f, file, std::move(detail)};
}

class RawSource final : public RowSource {
  public:
    Status open(const std::string& name, int nb_lig, int nb_col, double dpix_size) {
        name_ = name;
        info_.nb_lig = nb_lig;
        info_.nb_col = nb_col;
        info_.dpix_size = dpix_size;
        if (nb_lig <= 0 || nb_col <= 0) return fault(Fault::BadSizes, name);
        const long long size = regular_file_size(name);
        if (size < 0) return fault(size == -2 ? Fault::NotRegular : Fault::CannotOpen, name);
        f_ = std::fopen(name.c_str(), "rb");
        if (!f_) return fault(Fault::CannotOpen, name);
        const long long expected = info_.pixels();
        if (size < expected)
            return fault(Fault::TooShort, name,
                         std::to_string(size) + " " + std::to_string(expected));
        info_.extra_bytes = size - expected;
        return {};
    }
    ~RawSource() override {
        if (f_) std::fclose(f_);
    }
    Status read(int y, int n, unsigned char* const* rows) override {
        const auto width = static_cast<std::size_t>(info_.nb_col);
        if (y != next_ && !seek_to(f_, static_cast<long long>(y) * info_.nb_col))
            return fault(Fault::ReadFailed, name_);
        for (int k = 0; k < n; ++k) {
            if (std::fread(rows[k], 1, width, f_) != width) {
                next_ = -1;
                return fault(std::ferror(f_) ? Fault::ReadFailed : Fault::TooShort, name_);
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

class BitmapSource final : public RowSource {
  public:
    Status open(const std::string& name) {
        name_ = name;
        const long long size = regular_file_size(name);
        if (size < 0) return fault(size == -2 ? Fault::NotRegular : Fault::CannotOpen, name);
        f_ = std::fopen(name.c_str(), "rb");
        if (!f_) return fault(Fault::CannotOpen, name);
        unsigned char head[kBmpHeaderBytes];
        if (std::fread(head, sizeof head, 1, f_) != 1)
            return fault(std::ferror(f_) ? Fault::ReadFailed : Fault::TooShort, name);
        if (get16(head, 0) != 0x4D42) return fault(Fault::NotBitmap, name);
        const std::uint32_t off_bits = get32(head, 10);
        const std::uint32_t bit_count = get16(head, 28);
        if (bit_count == 8 && off_bits == static_cast<std::uint32_t>(kBmpPaletteOffset)) {
            taille_ = 1;
        } else if (bit_count == 24 && off_bits == static_cast<std::uint32_t>(kBmpHeaderBytes)) {
            taille_ = 3;
        } else {
            return fault(Fault::BitmapForm, name);
        }
        if (get32(head, 30) == 1) return fault(Fault::Compressed, name);
        const auto width = static_cast<std::int32_t>(get32(head, 18));
        const auto height = static_cast<std::int32_t>(get32(head, 22));
        if (width <= 0 || height == 0 || height == INT32_MIN) return fault(Fault::BadSizes, name);
        bottom_up_ = height > 0;
        info_.nb_col = width;
        info_.nb_lig = bottom_up_ ? height : -height;
        first_ = off_bits;
        stride_ = (static_cast<long long>(width) * taille_ + 3) / 4 * 4;
        if (first_ + stride_ * info_.nb_lig > size) return fault(Fault::TooShort, name);
        tmp_.resize(static_cast<std::size_t>(stride_));
        return {};
    }
    ~BitmapSource() override {
        if (f_) std::fclose(f_);
    }
    // Bottom-up, the rows of a band lie in the file from its last row to its first:
    // one seek, then each row read into its place.
    Status read(int y, int n, unsigned char* const* rows) override {
        if (n <= 0) return {};
        const int first_stored = bottom_up_ ? y + n - 1 : y;
        const long long at = first_ + stride_ * (bottom_up_ ? info_.nb_lig - 1LL - first_stored
                                                            : static_cast<long long>(first_stored));
        if (!seek_to(f_, at)) return fault(Fault::ReadFailed, name_);
        const int nb_col = info_.nb_col;
        for (int k = 0; k < n; ++k) {
            unsigned char* dest = rows[bottom_up_ ? n - 1 - k : k];
            if (std::fread(tmp_.data(), 1, tmp_.size(), f_) != tmp_.size())
                return fault(std::ferror(f_) ? Fault::ReadFailed : Fault::TooShort, name_);
            if (taille_ == 1) {
                std::memcpy(dest, tmp_.data(), static_cast<std::size_t>(nb_col));
                continue;
            }
            for (int j = 0; j < nb_col; ++j) {
                const unsigned char* p = tmp_.data() + 3 * static_cast<std::size_t>(j);
                if (p[0] != p[1] || p[1] != p[2]) return fault(Fault::Colour, name_);
                dest[j] = p[0];
            }
        }
        return {};
    }

  private:
    std::string name_;
    std::FILE* f_ = nullptr;
    int taille_ = 1;
    bool bottom_up_ = true;
    long long first_ = 0;
    long long stride_ = 0;
    std::vector<unsigned char> tmp_;
};

Fault grid_fault(GridError e) {
    switch (e) {
        case GridError::Cancelled:
            return Fault::Cancelled;
        case GridError::None:
            return Fault::None;
        case GridError::CannotOpen:
            return Fault::CannotOpen;
        case GridError::NotRegular:
            return Fault::NotRegular;
        case GridError::ReadFailed:
            return Fault::ReadFailed;
        case GridError::HeaderUnreadable:
            return Fault::HeaderUnreadable;
        case GridError::BadSizes:
            return Fault::BadSizes;
        case GridError::TooLarge:
            return Fault::TooLarge;
        case GridError::FewCells:
            return Fault::FewCells;
        case GridError::NotInteger:
            return Fault::NotInteger;
    }
    return Fault::ReadFailed;
}

class AsciiSource final : public RowSource {
  public:
    Status open(const std::string& name) {
        name_ = name;
        const long long size = regular_file_size(name);
        if (size < 0) return fault(size == -2 ? Fault::NotRegular : Fault::CannotOpen, name);
        reader_ = std::make_unique<AsciiGridReader>();
        AsciiGrid g;
        const GridError e = reader_->open(name, g);
        if (e != GridError::None) return fault(grid_fault(e), name);
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
    Status restart() override { return open(name_); }
    Status read(int y, int n, unsigned char* const* rows) override {
        if (y != next_ || !reader_) return fault(Fault::ReadFailed, name_);
        for (int k = 0; k < n; ++k) {
            std::string bad;
            const GridError e = reader_->read_line(rows[k], bad);
            if (e != GridError::None) {
                reader_.reset();
                return fault(grid_fault(e), name_, bad);
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
};

// The raw pixel file and its header; bands go to their offsets.
class RawSink final : public RowSink {
  public:
    Status open(const std::string& base, const MapInfo& info) {
        info_ = info;
        name_ = base + ".raw";
        const std::string head = raw_header_text(info);
        if (!header_.open(base + ".txt") || !header_.write(head.data(), head.size()))
            return fault(Fault::CannotWrite, base + ".txt");
        if (!pixels_.open(name_)) return fault(Fault::CannotWrite, name_);
        return {};
    }
    Status write(int y, int n, const unsigned char* const* rows) override {
        if (!pixels_.seek(raw_layout(info_).offset(y, info_.nb_lig)))
            return fault(Fault::CannotWrite, name_);
        for (int k = 0; k < n; ++k)
            if (!pixels_.write(rows[k], static_cast<std::size_t>(info_.nb_col)))
                return fault(Fault::CannotWrite, name_);
        return {};
    }
    // The header comes into place first, as the whole-image writer creates it first.
    Status commit() override {
        if (!header_.commit()) return fault(Fault::CannotWrite, header_.final_path());
        if (!pixels_.commit()) return fault(Fault::CannotWrite, name_);
        return {};
    }

  private:
    MapInfo info_;
    OutputFile header_;
    OutputFile pixels_;
};

class BitmapSink final : public RowSink {
  public:
    Status open(const std::string& base, const MapInfo& info) {
        info_ = info;
        name_ = base + ".bmp";
        layout_ = bitmap_layout(info);
        if (layout_.offset(-1, info.nb_lig) > static_cast<long long>(UINT32_MAX))
            return fault(Fault::TooLarge, name_);
        const std::string head = bitmap_head(info);
        if (!file_.open(name_) || !file_.write(head.data(), head.size()))
            return fault(Fault::CannotWrite, name_);
        row_.assign(static_cast<std::size_t>(layout_.stride), 0);
        return {};
    }
    // The band's rows lie in the file from its last row to its first.
    Status write(int y, int n, const unsigned char* const* rows) override {
        if (n <= 0) return {};
        if (!file_.seek(layout_.offset(y + n - 1, info_.nb_lig)))
            return fault(Fault::CannotWrite, name_);
        for (int k = n - 1; k >= 0; --k) {
            std::memcpy(row_.data(), rows[k], static_cast<std::size_t>(info_.nb_col));
            if (!file_.write(row_.data(), row_.size())) return fault(Fault::CannotWrite, name_);
        }
        return {};
    }
    Status commit() override {
        if (!file_.commit()) return fault(Fault::CannotWrite, name_);
        return {};
    }

  private:
    MapInfo info_;
    ImageLayout layout_;
    OutputFile file_;
    std::vector<unsigned char> row_;  // its padding stays 0
};

class AsciiSink final : public RowSink {
  public:
    Status open(const std::string& base, const MapInfo& info) {
        info_ = info;
        name_ = base + ".asc";
        const std::string head = ascii_head(info);
        if (!file_.open(name_) || !file_.write(head.data(), head.size()))
            return fault(Fault::CannotWrite, name_);
        return {};
    }
    Status write(int y, int n, const unsigned char* const* rows) override {
        if (y != next_) return fault(Fault::CannotWrite, name_);
        for (int k = 0; k < n; ++k) {
            ascii_row_text(rows[k], info_.nb_col, text_);
            if (!file_.write(text_.data(), text_.size())) return fault(Fault::CannotWrite, name_);
        }
        next_ = y + n;
        return {};
    }
    Status commit() override {
        if (next_ != info_.nb_lig || !file_.commit()) return fault(Fault::CannotWrite, name_);
        return {};
    }

  private:
    MapInfo info_;
    OutputFile file_;
    std::string text_;
    int next_ = 0;
};

}  // namespace

std::unique_ptr<RowSource> open_raw_source(const std::string& name, int nb_lig, int nb_col,
                                           double dpix_size, Status& st) {
    auto s = std::make_unique<RawSource>();
    st = s->open(name, nb_lig, nb_col, dpix_size);
    if (!st.ok()) return nullptr;
    return s;
}

std::unique_ptr<RowSource> open_bitmap_source(const std::string& name, Status& st) {
    auto s = std::make_unique<BitmapSource>();
    st = s->open(name);
    if (!st.ok()) return nullptr;
    return s;
}

std::unique_ptr<RowSource> open_ascii_source(const std::string& name, Status& st) {
    auto s = std::make_unique<AsciiSource>();
    st = s->open(name);
    if (!st.ok()) return nullptr;
    return s;
}

std::string raw_header_text(const MapInfo& info) {
    char text[128];
    std::snprintf(text, sizeof text, "%d\n%d\n%d\n%d\n%d\n%d\n", info.nb_lig, info.nb_col, 1, 0,
                  255, trunc_to_int(info.dpix_size));
    return text;
}

ImageLayout raw_layout(const MapInfo& info) {
    return ImageLayout{0, info.nb_col, false};
}

ImageLayout bitmap_layout(const MapInfo& info) {
    return ImageLayout{kBmpPaletteOffset, (static_cast<long long>(info.nb_col) + 3) / 4 * 4, true};
}

std::string bitmap_head(const MapInfo& info) {
    return bmp_head(info.nb_col, info.nb_lig, 0, nullptr);
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
        const unsigned v = row[j];
        if (v >= 100) *p++ = static_cast<char>('0' + v / 100);
        if (v >= 10) *p++ = static_cast<char>('0' + v / 10 % 10);
        *p++ = static_cast<char>('0' + v % 10);
        *p++ = '\t';
    }
    out.resize(static_cast<std::size_t>(p - out.data()));
}

std::unique_ptr<RowSink> make_sink(int res_form, const std::string& base, const MapInfo& info,
                                   Status& st) {
    switch (res_form) {
        case 1: {
            auto s = std::make_unique<BitmapSink>();
            st = s->open(base, info);
            return st.ok() ? std::move(s) : nullptr;
        }
        case 2: {
            auto s = std::make_unique<AsciiSink>();
            st = s->open(base, info);
            return st.ok() ? std::move(s) : nullptr;
        }
        default: {
            auto s = std::make_unique<RawSink>();
            st = s->open(base, info);
            return st.ok() ? std::move(s) : nullptr;
        }
    }
}

}  // namespace engine
