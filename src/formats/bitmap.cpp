#include "formats/bitmap.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/answers.h"
#include "formats/file_io.h"
#include "formats/format.h"
#include "raster/little_endian.h"
#include "raster/output_file.h"
#include "text/catalogue.h"

namespace {

constexpr std::uint16_t kSignature = 0x4D42;  // "BM"

std::int32_t as_signed(std::uint32_t v) {
    return v <= static_cast<std::uint32_t>(INT32_MAX)
               ? static_cast<std::int32_t>(v)
               : -static_cast<std::int32_t>(~v) - 1;  // two's complement without overflow
}

// Bytes of one stored row: the pixel bytes rounded up to a multiple of 4.
long long padded_row(long long pixel_bytes) {
    return (pixel_bytes + 3) / 4 * 4;
}

}  // namespace

std::string bmp_head(int NbCol, int NbLig, int Type, const Color32* ColorMAP) {
    const int taille = Type < 2 ? 1 : 3;
    const std::uint32_t off_bits = Type < 2 ? kBmpPaletteOffset : kBmpHeaderBytes;
    const long long row = padded_row(static_cast<long long>(NbCol) * taille);
    const long long size_image = row * NbLig;
    std::string b(off_bits, '\0');
    auto* head = reinterpret_cast<unsigned char*>(b.data());
    put16(head, 0, kSignature);
    put32(head, 2, static_cast<std::uint32_t>(off_bits + size_image));
    put32(head, 10, off_bits);
    put32(head, 14, 40);
    put32(head, 18, static_cast<std::uint32_t>(NbCol));
    put32(head, 22, static_cast<std::uint32_t>(NbLig));
    put16(head, 26, 1);
    put16(head, 28, Type < 2 ? 8 : 24);
    put32(head, 34, static_cast<std::uint32_t>(size_image));
    put32(head, 38, 10000);
    put32(head, 42, 10000);
    if (Type < 2) {
        for (int i = 0; i < 256; ++i) {
            const auto grey = static_cast<std::uint8_t>(i);
            const Color32 c = ColorMAP ? ColorMAP[i] : Color32{grey, grey, grey, 0};
            unsigned char* e = head + kBmpHeaderBytes + 4 * i;
            e[0] = c.B;
            e[1] = c.G;
            e[2] = c.R;
            e[3] = c.O;
        }
    }
    return b;
}

namespace {

// What the 54 bytes of the headers say, checked: the pixels' form, the sizes in full and
// the file's length against the rows it declares.
struct BmpLayout {
    int taille = 0;       // bytes of a pixel: 1 (8 bits) or 3 (24 bits)
    int type = 0;         // 0 for 8 bits (grey ramp until the palette says otherwise), 2 for 24
    int cols = 0;
    int lines = 0;
    bool top_down = false;  // a negative height: rows stored top first
    long long larg = 0;     // pixel bytes of a row
    long long row = 0;      // stored bytes of a row
};

// A file that ends too soon, or that the system cannot read.
Status short_or_failed(std::FILE* f, const std::string& name) {
    return Status::refused(name, std::ferror(f) ? txt::reason_cannot_open : txt::reason_too_short);
}

// Reads and checks the headers of the bitmap `name`; more than `max_pixels` pixels do not
// fit in memory. `NbCol` and `NbLig` are set as soon as they are read, so that a caller
// sees the sizes a refused file declares.
Status read_bmp_layout(std::FILE* f, const std::string& name, unsigned long long file_bytes,
                       long long max_pixels, int& NbCol, int& NbLig, BmpLayout& lay) {
    unsigned char head[kBmpHeaderBytes];
    if (std::fread(head, sizeof head, 1, f) != 1) return short_or_failed(f, name);
    const std::uint32_t off_bits = get32(head, 10);
    const std::uint32_t bit_count = get16(head, 28);
    if (get16(head, 0) != kSignature) return Status::refused(name, txt::reason_not_bitmap);
    if (bit_count == 8 && off_bits == static_cast<std::uint32_t>(kBmpPaletteOffset)) {
        lay.taille = 1;
        lay.type = 0;
    } else if (bit_count == 24 && off_bits == static_cast<std::uint32_t>(kBmpHeaderBytes)) {
        lay.taille = 3;
        lay.type = 2;
    } else {
        return Status::refused(name, txt::reason_bitmap_form);
    }
    if (get16(head, 26) != 1 || get32(head, 14) < 40)
        return Status::refused(name, txt::reason_bitmap_form);
    // Run lengths, bit fields, embedded JPEG or PNG: none is read as plain rows.
    if (get32(head, 30) != 0) return Status::refused(name, txt::reason_compressed);

    // Width and height in full; a negative height means the rows are stored top first.
    const std::int32_t bi_width = as_signed(get32(head, 18));
    const std::int32_t bi_height = as_signed(get32(head, 22));
    NbCol = bi_width;
    NbLig = bi_height;
    if (bi_width <= 0 || bi_height == 0 || bi_height == INT32_MIN)
        return Status::refused(name, txt::reason_bad_sizes, {NbLig, NbCol});
    lay.top_down = bi_height < 0;
    lay.lines = lay.top_down ? -bi_height : bi_height;
    lay.cols = bi_width;
    NbLig = lay.lines;
    if (static_cast<long long>(lay.lines) * bi_width > max_pixels)
        return Status::refused(name, txt::reason_too_large, {NbLig, NbCol});
    // Nothing is allocated for rows the file does not hold.
    lay.larg = static_cast<long long>(bi_width) * lay.taille;
    lay.row = padded_row(lay.larg);
    if (off_bits + static_cast<unsigned long long>(lay.row) *
                       static_cast<unsigned long long>(lay.lines) >
        file_bytes)
        return Status::refused(name, txt::reason_too_short);
    return Status::success();
}

}  // namespace

namespace formats {

namespace {

using engine::MapInfo;

// A bitmap of 8 bits, or of 24 bits whose pixels are all grey (blue = green = red),
// stored bottom-up or top-down; its headers checked by read_bmp_layout. A coloured
// pixel is found when its row is read.
class BitmapSource final : public engine::RowSource {
  public:
    Status open(const std::string& name, long long max_pixels) {
        name_ = name;
        const long long size = regular_file_size(name);
        if (size == -2) return Status::refused(name, txt::reason_not_regular);
        if (size >= 0) f_ = std::fopen(name.c_str(), "rb");
        if (!f_) return Status::refused(name, txt::reason_cannot_open);
        int cols = 0, lines = 0;
        if (Status e = read_bmp_layout(f_, name, static_cast<unsigned long long>(size),
                                       max_pixels > 0 ? max_pixels : LLONG_MAX, cols, lines, lay_);
            !e.ok())
            return e;
        info_.nb_col = lay_.cols;
        info_.nb_lig = lay_.lines;
        first_ = lay_.taille == 1 ? kBmpPaletteOffset : kBmpHeaderBytes;
        // A palette of colours (a land-cover map's legend) is the map's colour table.
        if (lay_.taille == 1) {
            // Entries of blue, green, red and a byte unused; the grey ramp is no table.
            unsigned char pal[256 * 4];
            if (!seek_to(f_, kBmpHeaderBytes)) return Status::refused(name, txt::reason_cannot_open);
            if (std::fread(pal, 4, 256, f_) != 256) return short_or_failed(f_, name);
            bool grey = true;
            for (int v = 0; v < 256 && grey; ++v)
                grey = pal[4 * v] == v && pal[4 * v + 1] == v && pal[4 * v + 2] == v;
            for (int v = 0; v < 256 && !grey; ++v)
                info_.colours.push_back({pal[4 * v + 2], pal[4 * v + 1], pal[4 * v], 255});
        }
        tmp_.resize(static_cast<std::size_t>(lay_.row));
        return {};
    }
    ~BitmapSource() override {
        if (f_) std::fclose(f_);
    }
    // Bottom-up, the rows of a band lie in the file from its last row to its first:
    // one seek, then each row read into its place.
    Status read(int y, int n, unsigned char* const* rows) override {
        if (n <= 0) return {};
        const bool bottom_up = !lay_.top_down;
        const int first_stored = bottom_up ? y + n - 1 : y;
        const long long at =
            first_ + lay_.row * (bottom_up ? info_.nb_lig - 1LL - first_stored
                                           : static_cast<long long>(first_stored));
        if (!seek_to(f_, at)) return Status::refused(name_, txt::reason_cannot_open);
        const int nb_col = info_.nb_col;
        for (int k = 0; k < n; ++k) {
            unsigned char* dest = rows[bottom_up ? n - 1 - k : k];
            if (std::fread(tmp_.data(), 1, tmp_.size(), f_) != tmp_.size())
                return short_or_failed(f_, name_);
            if (lay_.taille == 1) {
                std::memcpy(dest, tmp_.data(), static_cast<std::size_t>(nb_col));
                continue;
            }
            for (int j = 0; j < nb_col; ++j) {
                const unsigned char* p = tmp_.data() + 3 * static_cast<std::size_t>(j);
                if (p[0] != p[1] || p[1] != p[2]) return Status::refused(name_, txt::reason_colour);
                dest[j] = p[0];
            }
        }
        return {};
    }

  private:
    std::string name_;
    std::FILE* f_ = nullptr;
    BmpLayout lay_;
    long long first_ = 0;
    std::vector<unsigned char> tmp_;
};

// Results are 8-bit grey bitmaps, stored bottom-up, rows padded to 4 bytes.
bool bitmap_layout(const MapInfo& info, ByteLayout& out) {
    out = ByteLayout{};
    out.head = bmp_head(info.nb_col, info.nb_lig, 0, nullptr);
    out.stride = padded_row(info.nb_col);
    out.bottom_up = true;
    out.row_bytes = [](const unsigned char* row, int nb_col, std::string& bytes) {
        bytes.assign(static_cast<std::size_t>(padded_row(nb_col)), '\0');
        std::memcpy(bytes.data(), row, static_cast<std::size_t>(nb_col));
    };
    out.max_bytes = UINT32_MAX;
    return true;
}

class BitmapSink final : public engine::RowSink {
  public:
    Status open(const std::string& base, const MapInfo& info) {
        info_ = info;
        name_ = base + ".bmp";
        bitmap_layout(info, layout_);
        if (layout_.too_large(info.nb_lig)) return Status::not_written(name_);
        if (!file_.open(name_) || !file_.write(layout_.head.data(), layout_.head.size()))
            return Status::not_written(name_);
        row_.assign(static_cast<std::size_t>(layout_.stride), 0);
        return {};
    }
    // The band's rows lie in the file from its last row to its first.
    Status write(int y, int n, const unsigned char* const* rows) override {
        if (n <= 0) return {};
        if (!file_.seek(layout_.offset(y + n - 1, info_.nb_lig))) return Status::not_written(name_);
        for (int k = n - 1; k >= 0; --k) {
            std::memcpy(row_.data(), rows[k], static_cast<std::size_t>(info_.nb_col));
            if (!file_.write(row_.data(), row_.size())) return Status::not_written(name_);
        }
        return {};
    }
    Status commit() override {
        if (!file_.commit()) return Status::not_written(name_);
        return {};
    }

  private:
    MapInfo info_;
    ByteLayout layout_;
    OutputFile file_;
    std::vector<unsigned char> row_;  // its padding stays 0
};

std::unique_ptr<engine::RowSource> open_source(const std::string& path, const MapInfo& declared,
                                               Status& st) {
    return open_bitmap_source(path, st, declared.max_pixels);
}

std::unique_ptr<engine::RowSink> make_sink(const std::string& base, const MapInfo& info,
                                           Status& st) {
    auto s = std::make_unique<BitmapSink>();
    st = s->open(base, info);
    if (!st.ok()) return nullptr;
    return s;
}

}  // namespace

std::unique_ptr<engine::RowSource> open_bitmap_source(const std::string& name, Status& st,
                                                      long long max_pixels) {
    auto s = std::make_unique<BitmapSource>();
    st = s->open(name, max_pixels);
    if (!st.ok()) return nullptr;
    return s;
}

const Format& bitmap_format() {
    static const Format f{
        "bmp", kBitmap, {".bmp", nullptr, nullptr}, open_source, make_sink, bitmap_layout};
    return f;
}

}  // namespace formats
