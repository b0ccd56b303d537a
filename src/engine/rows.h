// Maps read and result images written a band of rows at a time, for maps that are not
// held whole.
//
// A row source hands out any rows of the map, top line first, in the order they are
// asked for; a row sink takes the rows of one result image as they are done and writes
// them where the whole-image writers would have put them, so that the finished file is
// the same, byte for byte. Every count of pixels or bytes is 64-bit: a streamed map may
// hold more than 2^31 pixels, each side staying within an int.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace engine {

// What went wrong, for the front ends to put into words.
enum class Fault {
    None,
    CannotOpen,        // a map file cannot be opened (missing)
    NotRegular,        // a map that is a folder, a FIFO or a device, not a file
    ReadFailed,        // the system reported an error while reading
    HeaderUnreadable,  // a header that does not read as one
    BadSizes,          // lines or columns not positive
    TooShort,          // the file ends before the rows it declares
    NotBitmap,         // the signature is not "BM"
    BitmapForm,        // neither 8 bits with pixels at 1078 nor 24 bits at 54
    Compressed,        // a compressed bitmap
    Colour,            // a 24-bit bitmap with a pixel that is not grey
    FewCells,          // an ASCII grid with fewer cells than it declares
    NotInteger,        // an ASCII grid cell that is no integer
    TooLarge,          // a result that its format cannot hold
    OutOfMemory,       // the rows of a band cannot be allocated
    CannotWrite,       // a result file cannot be created or written
    Cancelled,         // the progress callback asked to stop
};

struct Status {
    Fault fault = Fault::None;
    std::string file;    // the file concerned
    std::string detail;  // NotInteger: the cell as written; TooShort (raw): sizes
    bool ok() const { return fault == Fault::None; }
};

// What the source knows of the map before any row is read.
struct MapInfo {
    int nb_lig = 0;
    int nb_col = 0;
    double dpix_size = 0.0;  // raw header or ASCII grid; 0 for a bitmap
    bool UTM_coord = false;  // an ASCII grid carries its corner
    double X_min = 0.0;
    double Y_min = 0.0;
    bool has_nodata = false;
    double nodata = 0.0;
    // Bytes of a raw pixel file beyond the rows it declares (read with a warning).
    long long extra_bytes = 0;
    // An ASCII grid with cells after those it declares (ignored), known once its last
    // row has been read.
    bool extra_cells = false;
    long long pixels() const { return static_cast<long long>(nb_lig) * nb_col; }
};

class RowSource {
  public:
    virtual ~RowSource() = default;
    const MapInfo& info() const { return info_; }
    // Rows [y, y + n) of the map into rows[0 .. n). A forward-only source takes only the
    // row after the last one read.
    virtual Status read(int y, int n, unsigned char* const* rows) = 0;
    // False when rows can be read only in order, each once per pass.
    virtual bool random_access() const { return true; }
    // Back to the first row for another pass.
    virtual Status restart() { return {}; }

  protected:
    MapInfo info_;
};

// The raw pixel file `name` of nb_lig lines of nb_col bytes (sizes from its header).
// A file shorter than that is TooShort, with the two sizes in `detail`.
std::unique_ptr<RowSource> open_raw_source(const std::string& name, int nb_lig, int nb_col,
                                           double dpix_size, Status& st);
// A bitmap of 8 bits, or of 24 bits whose pixels are all grey (blue = green = red),
// stored bottom-up or top-down. A coloured pixel is found when its row is read.
std::unique_ptr<RowSource> open_bitmap_source(const std::string& name, Status& st);
// An ASCII grid, read forward only, its cells as read_ascii_grid reads them.
std::unique_ptr<RowSource> open_ascii_source(const std::string& name, Status& st);

class RowSink {
  public:
    virtual ~RowSink() = default;
    // Rows [y, y + n) of the image, top line first. Raw and bitmap sinks take bands in
    // any order; an ASCII grid sink takes them in order.
    virtual Status write(int y, int n, const unsigned char* const* rows) = 0;
    // Completes the files and gives them their final names.
    virtual Status commit() = 0;
    // The name of the image file as the report names it (".raw" file for the raw format).
    const std::string& name() const { return name_; }
    // True for a sink that all the processes of a team write and commit together.
    virtual bool collective() const { return false; }

  protected:
    std::string name_;
};

// Where the file of each result format puts row y, and the bytes before the first row.
struct ImageLayout {
    long long first = 0;   // bytes before the rows (header, palette)
    long long stride = 0;  // bytes per stored row
    bool bottom_up = false;
    long long offset(int y, int nb_lig) const {
        return first + stride * (bottom_up ? static_cast<long long>(nb_lig) - 1 - y : y);
    }
};

// The sink of one result image under `base` (no extension) in result format `res_form`
// (0 raw with its ".txt" header, 1 8-bit grey bitmap, 2 ASCII grid), sized and
// georeferenced as `info`. The raw header is complete as soon as the sink is made; the
// bitmap header and palette too.
std::unique_ptr<RowSink> make_sink(int res_form, const std::string& base, const MapInfo& info,
                                   Status& st);

// The header bytes a result file of each format starts with, and the layout of its rows
// (ASCII grids have no fixed layout and give none).
std::string raw_header_text(const MapInfo& info);
std::string bitmap_head(const MapInfo& info);
std::string ascii_head(const MapInfo& info);
ImageLayout raw_layout(const MapInfo& info);
ImageLayout bitmap_layout(const MapInfo& info);
// Row `row` of nb_col cells as an ASCII grid writes it ("%d\t" per cell) into `out`.
void ascii_row_text(const unsigned char* row, int nb_col, std::string& out);

}  // namespace engine
