// Hostile input, swept through whole runs: answers that end after any question, answers
// that are no numbers, negative or overflowing, map files whose sizes are absurd, negative
// or overflowing in each format, result names whose folder is missing or whose files
// cannot be created, and names far beyond 127 characters. Every such run ends by itself
// with its message and the right exit status, and writes nothing it should not.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "file_fixtures.h"
#include "text/catalogue.h"
#include "dialogue/console.h"
#include "dialogue/opening.h"
#include "formats/gdal_raster.h"

namespace fs = std::filesystem;
using tf::replace_all;
using tf::slurp;
using tf::spit;

namespace {

// ------------------------------------------------------------------------- helpers

struct Outcome {
    int status = -1;
    std::string out;  // the console, in code page 850 bytes
};

Outcome run_opening(const std::string& answers) {
    std::istringstream in(answers);
    std::ostringstream out;
    Console con(in, out, /*utf8=*/false);
    Outcome o;
    o.status = opening(con);
    o.out = out.str();
    return o;
}

// A text of the catalogue as the console prints it.
std::string say(int idiom, const Text& t, std::initializer_list<Arg> args = {}) {
    std::istringstream in;
    std::ostringstream out;
    Console con(in, out, false);
    return con.text(idiom, t, args);
}

std::size_t count(const std::string& hay, const std::string& needle) {
    std::size_t n = 0;
    for (std::size_t at = hay.find(needle); at != std::string::npos;
         at = hay.find(needle, at + needle.size()))
        ++n;
    return n;
}

// A private folder <root>/<sub> holding the map; removed unless the test failed.
struct Folder {
    fs::path root;
    fs::path maps;
    explicit Folder(const std::string& sub = "maps") {
        std::string tmpl = (fs::temp_directory_path() / "landmosaic-hostile-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) ADD_FAILURE() << "no temporary folder";
        root = tmpl;
        maps = root / sub;
        fs::create_directories(maps);
    }
    ~Folder() {
        if (!::testing::Test::HasFailure()) {
            std::error_code ec;
            fs::remove_all(root, ec);
        }
    }
    // What is typed at the disk question.
    std::string prefix() const { return root.string() + "/"; }
    std::set<std::string> files() const {
        std::set<std::string> s;
        for (const auto& e : fs::directory_iterator(maps)) s.insert(e.path().filename().string());
        return s;
    }
};

// The test map: 9 lines of 11 columns, four classes and a few pixels of 255.
constexpr int kLines = 9;
constexpr int kColumns = 11;

unsigned char code_at(int i, int j) {
    if ((i * 5 + j * 3) % 13 == 0) return 255;
    static const unsigned char codes[4] = {2, 5, 9, 130};
    return codes[(i / 3 + j / 4) % 4];
}

std::string pixels() {
    std::string px;
    for (int i = 0; i < kLines; ++i)
        for (int j = 0; j < kColumns; ++j) px += static_cast<char>(code_at(i, j));
    return px;
}

void raw_map(const fs::path& base, bool with_header) {
    spit(base.string() + ".raw", pixels());
    if (with_header)
        spit(base.string() + ".txt",
             std::to_string(kLines) + "\n" + std::to_string(kColumns) + "\n1\n0\n255\n30\n");
}

void put16(std::string& s, std::size_t at, std::uint32_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) s[at + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
}

// A bitmap header with the given fields, followed by `body` (palette and rows).
std::string bmp_bytes(std::int32_t width, std::int32_t height, int bits, std::uint32_t off_bits,
                      std::uint32_t compression, const std::string& body) {
    std::string s(54, '\0');
    s[0] = 'B';
    s[1] = 'M';
    put32(s, 2, static_cast<std::uint32_t>(54 + body.size()));
    put32(s, 10, off_bits);
    put32(s, 14, 40);
    put32(s, 18, static_cast<std::uint32_t>(width));
    put32(s, 22, static_cast<std::uint32_t>(height));
    put16(s, 26, 1);
    put16(s, 28, static_cast<std::uint32_t>(bits));
    put32(s, 30, compression);
    return s + body;
}

std::string grey_palette() {
    std::string p;
    for (int c = 0; c < 256; ++c) p += std::string(3, static_cast<char>(c)) + '\0';
    return p;
}

// The test map as an 8-bit grey bitmap, rows bottom-up and padded to 4 bytes.
void bmp_map(const fs::path& file) {
    const int row = (kColumns + 3) / 4 * 4;
    std::string body = grey_palette();
    for (int i = kLines - 1; i >= 0; --i) {
        std::string r(static_cast<std::size_t>(row), '\0');
        for (int j = 0; j < kColumns; ++j) r[j] = static_cast<char>(code_at(i, j));
        body += r;
    }
    spit(file, bmp_bytes(kColumns, kLines, 8, 1078, 0, body));
}

std::string ascii_header(const std::string& ncols, const std::string& nrows) {
    return "ncols " + ncols + "\nnrows " + nrows +
           "\nxllcorner 300000\nyllcorner 5000000\ncellsize 20\nnodata_value -9999\n";
}

void ascii_map(const fs::path& file) {
    std::string s = ascii_header(std::to_string(kColumns), std::to_string(kLines));
    for (int i = 0; i < kLines; ++i) {
        for (int j = 0; j < kColumns; ++j) {
            const int c = code_at(i, j);
            s += (c == 255 ? std::string("-9999") : std::to_string(c)) + " ";
        }
        s += "\n";
    }
    spit(file, s);
}

enum class Map { Raw, RawWithoutHeader, Bitmap, Ascii };

void place(const Folder& f, Map m) {
    switch (m) {
        case Map::Raw:
            raw_map(f.maps / "map", true);
            break;
        case Map::RawWithoutHeader:
            raw_map(f.maps / "map", false);
            break;
        case Map::Bitmap:
            bmp_map(f.maps / "map.bmp");
            break;
        case Map::Ascii:
            ascii_map(f.maps / "map.asc");
            break;
    }
}

std::string join(const std::vector<std::string>& answers, std::size_t n, const std::string& p) {
    std::string s;
    for (std::size_t k = 0; k < n && k < answers.size(); ++k)
        s += (answers[k] == "{P}" ? p : answers[k]) + "\n";
    return s;
}

// Every result file the report names exists.
void report_names_only_real_files(const Folder& f, const std::string& report) {
    for (const char* stem : {"res_diversity", "res_homog"}) {
        for (const char* ext : {".raw", ".bmp", ".asc"}) {
            const fs::path p = f.maps / (std::string(stem) + ext);
            if (report.find(p.string()) != std::string::npos) {
                EXPECT_TRUE(fs::exists(p)) << "the report names " << p << " which is not there";
            }
        }
    }
}

// ------------------------------------------------------------------------- sessions

struct Shape {
    const char* name;
    Map map;
    std::vector<std::string> answers;  // every answer but the final key; {P} is the prefix
};

const std::vector<Shape>& shapes() {
    static const std::vector<Shape> all = {
        {"raw map without header, cell mesh, raster results",
         Map::RawWithoutHeader,
         {"0", "2", "{P}", "maps", "map", "0", "9", "11", "30", "1", "1", "0", "0", "res", "0",
          "1"}},
        {"bitmap, rank help, square window, bitmap results, mesh drawn (French)",
         Map::Bitmap,
         {"1", "2", "{P}", "maps", "map", "1", "12.5", "0", "30", "0.5", "1", "1", "0", "0", "res",
          "1", "0"}},
        {"ascii grid, circular window, ascii results (Spanish)",
         Map::Ascii,
         {"2", "2", "{P}", "maps", "map", "2", "1", "1", "1", "1", "0", "res", "2", "1"}},
        {"raw map, rank help, sizes rejected, then a circle, ascii results with typed corner",
         Map::Raw,
         {"0", "2", "{P}", "maps", "map", "0", "0",   "10", "0.5",    "2",       "1", "0",
          "1", "1", "1",   "1",    "1",   "0", "res", "2",  "500000", "4000000", "0"}},
        {"bitmap, sizes rejected twice, cell mesh, raster results, mesh drawn (Spanish)",
         Map::Bitmap,
         {"2", "2", "{P}", "maps", "map", "1", "25", "1", "3",   "0", "1", "1",
          "1", "1", "1",   "1",    "1",   "0", "0",  "0", "res", "0", "0"}},
    };
    return all;
}

}  // namespace

// A session cut after any of its answers ends by itself: status 1, the message of the run's
// language, and before it exactly what the whole session had printed up to that question.
TEST(HostileInput, SessionsCutAfterEveryAnswerEndWithStatusOne) {
    for (const Shape& shape : shapes()) {
        SCOPED_TRACE(shape.name);
        Folder whole;
        place(whole, shape.map);
        const Outcome full = run_opening(join(shape.answers, shape.answers.size(), whole.prefix()));
        ASSERT_EQ(full.status, 0) << full.out;
        ASSERT_TRUE(full.out.ends_with(say(std::stoi(shape.answers[0]), txt::end_message)));

        for (std::size_t cut = 0; cut < shape.answers.size(); ++cut) {
            SCOPED_TRACE("answers given: " + std::to_string(cut));
            Folder f;
            place(f, shape.map);
            spit(f.maps / "res_info.txt", "an earlier report");
            const Outcome o = run_opening(join(shape.answers, cut, f.prefix()));
            EXPECT_EQ(o.status, 1);
            const int idiom = cut == 0 ? 0 : std::stoi(shape.answers[0]);
            const std::string ended = say(idiom, txt::input_ended);
            ASSERT_TRUE(o.out.ends_with(ended))
                << o.out.substr(o.out.size() > 300 ? o.out.size() - 300 : 0);
            // Up to the cut, the same dialogue as the whole session (the folders differ).
            const std::string before = replace_all(o.out.substr(0, o.out.size() - ended.size()),
                                                   f.prefix(), whole.prefix());
            EXPECT_EQ(before, full.out.substr(0, before.size()));
            // The earlier report stays as it was, and no result file or temporary file is left.
            EXPECT_EQ(slurp(f.maps / "res_info.txt"), "an earlier report");
            for (const std::string& name : f.files()) {
                EXPECT_FALSE(name.starts_with("res_d") || name.starts_with("res_h")) << name;
                EXPECT_FALSE(name.starts_with(".landmosaic-")) << name;
            }
        }
    }
}

namespace {

// One answer of a session, with what is typed before it and the prompt that each of those
// tokens brings back.
struct Answer {
    std::string value;
    std::vector<std::string> junk;
    std::string prompt;
};

const std::vector<std::string> kMenuJunk = {"yes", "-1", "99999999999", "3x"};
const std::string kYesNo = "\n\t\t0 ====> yes\n\t\t1 ====> no\n\t\t";
const std::string kFormats = "\n\t\t2 ====> ascii\n\t\t";

std::vector<std::string> plain(const std::vector<Answer>& a) {
    std::vector<std::string> v;
    for (const Answer& x : a) v.push_back(x.value);
    return v;
}

std::vector<std::string> hostile(const std::vector<Answer>& a) {
    std::vector<std::string> v;
    for (const Answer& x : a) {
        v.insert(v.end(), x.junk.begin(), x.junk.end());
        v.push_back(x.value);
    }
    return v;
}

void expect_same_run(const std::vector<Answer>& answers, Map map, int res_files_form) {
    Folder clean, rough;
    place(clean, map);
    place(rough, map);
    const Outcome a = run_opening(join(plain(answers), SIZE_MAX, clean.prefix()));
    const Outcome b = run_opening(join(hostile(answers), SIZE_MAX, rough.prefix()));
    ASSERT_EQ(a.status, 0) << a.out;
    EXPECT_EQ(b.status, 0) << b.out;
    // The same files, byte for byte (the report names its own folder).
    ASSERT_EQ(clean.files(), rough.files());
    for (const std::string& name : clean.files()) {
        std::string x = slurp(clean.maps / name);
        const std::string y = slurp(rough.maps / name);
        if (name.ends_with("_info.txt")) x = replace_all(x, clean.prefix(), rough.prefix());
        EXPECT_TRUE(x == y) << name << " differs";
    }
    const std::string ext = res_files_form == 0 ? ".raw" : res_files_form == 1 ? ".bmp" : ".asc";
    EXPECT_TRUE(clean.files().count("res_diversity" + ext));
    // Each rejected token brought its question back once more.
    std::vector<std::string> prompts;
    for (const Answer& x : answers)
        if (!x.prompt.empty()) prompts.push_back(x.prompt);
    for (const std::string& p : prompts) {
        std::size_t extra = 0;
        for (const Answer& x : answers)
            if (x.prompt == p) extra += x.junk.size();
        EXPECT_EQ(count(b.out, p), count(a.out, p) + extra) << "prompt " << p;
    }
}

}  // namespace

// Tokens that are no numbers, negative numbers where none is meant and numbers beyond the
// range of an int are refused at every question and the question comes back; the run then
// goes on exactly as without them.
TEST(HostileInput, NonNumericNegativeAndOverflowingAnswersAreAskedAgain) {
    const std::string language = "\n\tLanguage: ";
    const std::string disk = "\n\t\t2 ====> defined by the user\n\t\t";
    const std::string rank = "\n\n\tChoice of the rank R from the user: ";
    const std::string treat = "\n\t\t0 ====> cell mesh\n\t\t1 ====> moving window\n\t\t";
    const std::string shape = "\n\t\t0 ====> square\n\t\t1 ====> circle\n\t\t";
    {
        SCOPED_TRACE("raw map without header, rank help, rejected sizes, typed corner");
        const std::vector<Answer> answers = {
            {"0", kMenuJunk, language},
            {"2", kMenuJunk, disk},
            {"{P}", {}, ""},
            {"maps", {}, ""},
            {"map", {}, ""},
            {"0", kMenuJunk, kFormats},
            {"9", {"nine", "0", "-9", "4294967305"}, "\n\t\tNumber of lines? "},
            {"11", {"11.5", "0", "-11"}, "\n\t\tNumber of columns? "},
            {"30", {"thirty", "30.5", "0", "-30"}, "\n\t\tPixel size? "},
            {"0", kMenuJunk, kYesNo},  // rank help
            {"10", {"ten", "0", "-10"}, "Pixel edge (en meters) ? ? "},
            {"0.5", {"half", "-0.5", "1e999"}, "surface of the cell or moving window (in km2) ? "},
            {"2", {"two", "-2", "2147483648"}, rank},
            {"1", kMenuJunk, treat},
            {"1", kMenuJunk, shape},
            {"1", kMenuJunk, kYesNo},  // sizes rejected
            {"1", kMenuJunk, kYesNo},  // no help
            {"1", {"-1", "one"}, rank},
            {"0", kMenuJunk, treat},
            {"0", kMenuJunk, kYesNo},  // sizes accepted
            {"res", {}, ""},
            {"2", kMenuJunk, kFormats},
            {"500000", {"east", "nan", "inf", "1e999"}, "\n\t\tX_min ? "},
            {"-4000000", {"north"}, "\t\tY_min ? "},
            {"0", {"draw", "2", "99999999999"}, kYesNo},  // mesh: -1 means "do not draw"
        };
        expect_same_run(answers, Map::RawWithoutHeader, 2);
    }
    {
        SCOPED_TRACE("bitmap, square window, bitmap results, mesh refused with -1");
        const std::vector<Answer> answers = {
            {"0", {"-2"}, language},
            {"2", {"two"}, disk},
            {"{P}", {}, ""},
            {"maps", {}, ""},
            {"map", {}, ""},
            {"1", {"-1", "bitmap"}, kFormats},
            {"12.5", {"twelve", "1e999", "12,5", "0", "-12.5", "0x10"},
             "pixel size (decimal value in meters) ? "},
            {"1", {"-1"}, kYesNo},
            {"1", {"0x1", "-1"}, rank},
            {"1", {"-5"}, treat},
            {"0", {"-5"}, shape},
            {"1", kMenuJunk, kYesNo},  // rejected, to ask everything again
            {"1", {}, kYesNo},
            {"0", {"zero"}, rank},
            {"1", {}, treat},
            {"0", {}, shape},
            {"0", {}, kYesNo},
            {"res", {}, ""},
            {"1", {"-3", "1.0"}, kFormats},
            {"-1", {"no", "5"}, kYesNo},  // -1: the mesh is not drawn
        };
        expect_same_run(answers, Map::Bitmap, 1);
    }
}

namespace {

struct Refusal {
    const char* name;
    Map format_of;        // which reader: Raw, Bitmap or Ascii
    std::string file;     // name of the file written, in the folder
    std::string content;  // its bytes
    std::string refused;  // the file the message names
    std::string reason;   // the reason, as printed (English)
};

std::string reason(const Text& t, std::initializer_list<Arg> args = {}) {
    return say(0, t, args);
}

}  // namespace

// Sizes that are absurd, negative, zero or beyond an int, in each format: the file is
// refused with its name and reason, the run ends with status 1 and nothing is written.
TEST(HostileInput, AbsurdSizesInEachFormatAreRefused) {
    const std::string row4(4, '\0');
    std::string two_rows = grey_palette() + row4 + row4;
    std::vector<Refusal> cases = {
        {"raw: zero lines", Map::Raw, "map.txt", "0\n11\n1\n0\n255\n30\n", "map.txt",
         reason(txt::reason_bad_sizes, {0, 11})},
        {"raw: negative columns", Map::Raw, "map.txt", "9 -11 1 0 255 30", "map.txt",
         reason(txt::reason_bad_sizes, {9, -11})},
        {"raw: product beyond an int", Map::Raw, "map.txt", "65536\n65536\n1\n0\n255\n30\n",
         "map.txt", reason(txt::reason_too_large, {65536, 65536})},
        {"raw: just beyond an int", Map::Raw, "map.txt", "46341\n46341\n1\n0\n255\n30\n", "map.txt",
         reason(txt::reason_too_large, {46341, 46341})},
        {"raw: a value beyond an int", Map::Raw, "map.txt", "99999999999\n11\n1\n0\n255\n30\n",
         "map.txt", reason(txt::reason_header_unreadable)},
        {"raw: INT_MIN and beyond", Map::Raw, "map.txt", "-2147483649\n11\n1\n0\n255\n30\n",
         "map.txt", reason(txt::reason_header_unreadable)},
        {"raw: five values", Map::Raw, "map.txt", "9\n11\n1\n0\n255\n", "map.txt",
         reason(txt::reason_header_unreadable)},
        {"raw: words", Map::Raw, "map.txt", "lines 9\ncolumns 11\n", "map.txt",
         reason(txt::reason_header_unreadable)},
        {"bitmap: zero width", Map::Bitmap, "map.bmp", bmp_bytes(0, 2, 8, 1078, 0, two_rows),
         "map.bmp", reason(txt::reason_bad_sizes, {2, 0})},
        {"bitmap: negative width", Map::Bitmap, "map.bmp", bmp_bytes(-4, 2, 8, 1078, 0, two_rows),
         "map.bmp", reason(txt::reason_bad_sizes, {2, -4})},
        {"bitmap: zero height", Map::Bitmap, "map.bmp", bmp_bytes(4, 0, 8, 1078, 0, two_rows),
         "map.bmp", reason(txt::reason_bad_sizes, {0, 4})},
        {"bitmap: most negative height", Map::Bitmap, "map.bmp",
         bmp_bytes(4, INT32_MIN, 8, 1078, 0, two_rows), "map.bmp",
         reason(txt::reason_bad_sizes, {INT32_MIN, 4})},
        {"bitmap: pixels beyond an int", Map::Bitmap, "map.bmp",
         bmp_bytes(65536, 65536, 8, 1078, 0, two_rows), "map.bmp",
         reason(txt::reason_too_large, {65536, 65536})},
        {"bitmap: huge height, two rows in the file", Map::Bitmap, "map.bmp",
         bmp_bytes(4, 30000, 8, 1078, 0, two_rows), "map.bmp", reason(txt::reason_too_short)},
        {"bitmap: huge top-down height, two rows in the file", Map::Bitmap, "map.bmp",
         bmp_bytes(30000, -30000, 8, 1078, 0, two_rows), "map.bmp", reason(txt::reason_too_short)},
        {"bitmap: pixel offset beyond the file", Map::Bitmap, "map.bmp",
         bmp_bytes(4, 2, 24, 0xFFFFFFF0u, 0, two_rows), "map.bmp", reason(txt::reason_bitmap_form)},
        {"bitmap: 16 bits", Map::Bitmap, "map.bmp", bmp_bytes(4, 2, 16, 54, 0, two_rows), "map.bmp",
         reason(txt::reason_bitmap_form)},
        {"bitmap: compressed", Map::Bitmap, "map.bmp", bmp_bytes(4, 2, 8, 1078, 1, two_rows),
         "map.bmp", reason(txt::reason_compressed)},
        {"bitmap: header cut", Map::Bitmap, "map.bmp", "BM\x10\x00", "map.bmp",
         reason(txt::reason_too_short)},
        {"bitmap: wrong signature", Map::Bitmap, "map.bmp",
         "MB" + bmp_bytes(4, 2, 8, 1078, 0, two_rows).substr(2), "map.bmp",
         reason(txt::reason_not_bitmap)},
        {"bitmap: coloured 24 bits", Map::Bitmap, "map.bmp",
         bmp_bytes(1, 1, 24, 54, 0, std::string("\x01\x02\x03\x00", 4)), "map.bmp",
         reason(txt::reason_colour)},
        {"ascii: zero columns", Map::Ascii, "map.asc", ascii_header("0", "2") + "1 2\n", "map.asc",
         reason(txt::reason_bad_sizes, {2, 0})},
        {"ascii: negative rows", Map::Ascii, "map.asc", ascii_header("2", "-2") + "1 2 3 4\n",
         "map.asc", reason(txt::reason_bad_sizes, {-2, 2})},
        {"ascii: cells beyond an int", Map::Ascii, "map.asc",
         ascii_header("65536", "65536") + "1 2\n", "map.asc",
         reason(txt::reason_too_large, {65536, 65536})},
        {"ascii: huge sizes, few cells", Map::Ascii, "map.asc",
         ascii_header("40000", "40000") + "1 2 3\n", "map.asc", reason(txt::reason_few_cells)},
        {"ascii: sizes beyond an int", Map::Ascii, "map.asc",
         ascii_header("99999999999", "2") + "1 2\n", "map.asc",
         reason(txt::reason_header_unreadable)},
        {"ascii: decimal size", Map::Ascii, "map.asc", ascii_header("2.5", "2") + "1 2 3 4\n",
         "map.asc", reason(txt::reason_header_unreadable)},
        {"ascii: four header pairs", Map::Ascii, "map.asc",
         "ncols 2\nnrows 2\nxllcorner 0\nyllcorner 0\n1 2 3 4\n", "map.asc",
         reason(txt::reason_header_unreadable)},
        {"ascii: a decimal cell", Map::Ascii, "map.asc", ascii_header("2", "1") + "3.5 4\n",
         "map.asc", reason(txt::reason_not_integer, {"3.5"})},
        {"ascii: an overflowing real cell", Map::Ascii, "map.asc",
         ascii_header("2", "1") + "1e999 4\n", "map.asc",
         reason(txt::reason_not_integer, {"1e999"})},
    };
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        Folder f;
        if (c.format_of == Map::Raw) spit(f.maps / "map.raw", pixels());
        spit(f.maps / c.file, c.content);
        const std::set<std::string> before = f.files();
        const char* format = c.format_of == Map::Raw ? "0" : c.format_of == Map::Bitmap ? "1" : "2";
        // Answers for a whole run follow; none of them may be used.
        const Outcome o = run_opening("0\n2\n" + f.prefix() + "\nmaps\nmap\n" + format +
                                      "\n10\n1\n1\n0\n0\nres\n0\n1\nk");
        EXPECT_EQ(o.status, 1);
        const std::string message =
            say(0, txt::file_refused, {(f.maps / c.refused).string(), c.reason});
        EXPECT_TRUE(o.out.ends_with(message))
            << o.out.substr(o.out.rfind("\n\t", o.out.size() - 3));
        EXPECT_EQ(f.files(), before);
    }
}

// The lines and columns typed for a raw map without header are checked as a header's are:
// a product beyond an int is refused, and no header is written for it.
TEST(HostileInput, TypedSizesBeyondAnIntAreRefusedWithoutWritingAHeader) {
    Folder f;
    raw_map(f.maps / "map", false);
    const Outcome o =
        run_opening("0\n2\n" + f.prefix() + "\nmaps\nmap\n0\n65536\n65536\n30\n1\n1\n0\n0\n");
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.out.ends_with(
        say(0, txt::file_refused,
            {(f.maps / "map.raw").string(), reason(txt::reason_too_large, {65536, 65536})})));
    EXPECT_EQ(f.files(), std::set<std::string>{"map.raw"});
}

// A report that cannot be created (a folder stands in its place): its message, status 1,
// before the treatment.
// A result file that cannot be created: its message, the other outputs written, status 1,
// and the report names only the files that were written.
TEST(HostileInput, ReportOrResultThatCannotBeCreated) {
    for (int idiom = 0; idiom < 3; ++idiom) {
        Folder f;
        raw_map(f.maps / "map", true);
        const std::string lang = std::to_string(idiom);
        fs::create_directory(f.maps / "res_info.txt");
        const Outcome o = run_opening(lang + "\n2\n" + f.prefix() +
                                      "\nmaps\nmap\n0\n1\n1\n0\n0\nres\n0\n1\nk");
        EXPECT_EQ(o.status, 1);
        const std::string info = (f.maps / "res_info.txt").string();
        EXPECT_TRUE(o.out.ends_with(say(idiom, txt::report_not_created, {info})))
            << o.out.substr(o.out.size() - 200);
        EXPECT_EQ(o.out.find(say(idiom, txt::treatment_heading)), std::string::npos);
        EXPECT_EQ(f.files(), (std::set<std::string>{"map.raw", "map.txt", "res_info.txt"}));
    }

    struct Blocked {
        const char* form;
        const char* blocked;  // a folder stands where this file should be created
        const char* failed;   // the file the message names
        const char* unnamed;  // the image the report must not name
        const char* written;  // the image the report names
    };
    const Blocked blocked[] = {
        {"0", "res_diversity.raw", "res_diversity.raw", "res_diversity.raw", "res_homog.raw"},
        {"0", "res_homog.txt", "res_homog.txt", "res_homog.raw", "res_diversity.raw"},
        {"1", "res_diversity.bmp", "res_diversity.bmp", "res_diversity.bmp", "res_homog.bmp"},
        {"2", "res_homog.asc", "res_homog.asc", "res_homog.asc", "res_diversity.asc"},
    };
    for (const Blocked& b : blocked) {
        SCOPED_TRACE(b.blocked);
        Folder f;
        raw_map(f.maps / "map", true);
        fs::create_directory(f.maps / b.blocked);
        const Outcome o = run_opening("0\n2\n" + f.prefix() + "\nmaps\nmap\n0\n1\n1\n0\n0\nres\n" +
                                      b.form + "\n1.5\n2.5\n1\nk");
        EXPECT_EQ(o.status, 1);
        EXPECT_NE(o.out.find(say(0, txt::result_not_written, {(f.maps / b.failed).string()})),
                  std::string::npos);
        EXPECT_TRUE(o.out.ends_with(say(0, txt::end_message)));
        const std::string report = slurp(f.maps / "res_info.txt");
        EXPECT_EQ(report.find((f.maps / b.unnamed).string()), std::string::npos) << report;
        EXPECT_NE(report.find((f.maps / b.written).string()), std::string::npos) << report;
        EXPECT_TRUE(fs::is_regular_file(f.maps / b.written));
        report_names_only_real_files(f, report);
    }
}

// Folder, image and result names far beyond 127 characters go through a whole run in each
// result format: every file is made under its full name and named so in the report.
TEST(HostileInput, NamesLongerThan127CharactersWorkEndToEnd) {
    const std::string folder(180, 'f');
    const std::string image = "map" + std::string(150, 'm');
    const std::string result = "res" + std::string(200, 'r');
    const char* ext[3] = {".raw", ".bmp", ".asc"};
    for (int form = 0; form < 3; ++form) {
        SCOPED_TRACE(ext[form]);
        Folder f(folder);
        raw_map(f.maps / image, true);
        const Outcome o = run_opening("0\n2\n" + f.prefix() + "\n" + folder + "\n" + image +
                                      "\n0\n1\n1\n1\n1\n0\n" + result + "\n" +
                                      std::to_string(form) + "\n0\n0\n0\nk");
        EXPECT_EQ(o.status, 0) << o.out;
        const fs::path div = f.maps / (result + "_diversity" + ext[form]);
        const fs::path homo = f.maps / (result + "_homog" + ext[form]);
        const fs::path info = f.maps / (result + "_info.txt");
        EXPECT_GT(div.string().size(), 400u);
        ASSERT_TRUE(fs::is_regular_file(div));
        ASSERT_TRUE(fs::is_regular_file(homo));
        ASSERT_TRUE(fs::is_regular_file(info));
        EXPECT_GT(fs::file_size(div), static_cast<std::uintmax_t>(kLines * kColumns) - 1);
        const std::string report = slurp(info);
        EXPECT_NE(report.find("\n\t\t" + (f.maps / (image + ".raw")).string() + " "),
                  std::string::npos);
        EXPECT_NE(report.find("\n\t\tdiversity image: " + div.string() + " "), std::string::npos);
        EXPECT_TRUE(report.ends_with("\n\t\thomogeneity image: " + homo.string() + " "));
        EXPECT_NE(o.out.find(f.maps.string() + "/" + result + "_diversity: "), std::string::npos);
    }
}

namespace {

// The exit status of a shell command; -1 when it did not end by itself.
int shell(const std::string& cmd) {
    const int r = std::system(cmd.c_str());
    return r != -1 && WIFEXITED(r) ? WEXITSTATUS(r) : -1;
}

// The program, given up after 20 s (status 124) so that a hang fails instead of blocking.
std::string program() {
    return std::string("timeout 20 '") + LANDMOSAIC_EXE + "'";
}

int run_program(const std::string& stdin_file, const std::string& stdout_file) {
    return shell(program() + " < '" + stdin_file + "' > '" + stdout_file + "' 2>/dev/null");
}

}  // namespace

// The program itself: its exit status is the run's, with answers cut short, with no
// standard input at all, with a refused map, and with a whole session.
TEST(HostileInput, ProgramExitStatus) {
    Folder f;
    raw_map(f.maps / "map", true);
    spit(f.maps / "bad.txt", "-1 5 1 0 255 30");
    spit(f.maps / "bad.raw", "");
    struct Case {
        std::string answers;
        int status;
        std::string tail;  // the end of what the program prints, in UTF-8
    };
    const std::string p = f.prefix();
    const Case cases[] = {
        {"", 1, "\n\n\tThe answers ended before the dialogue was over.\n"},
        {"1\n2\n" + p + "\nmaps\nmap\n0\n1\n", 1,
         "\n\n\tLes r\xC3\xA9ponses se sont arr\xC3\xAAt\xC3\xA9"
         "es avant la fin du dialogue.\n"},
        {"0\n2\n" + p + "\nmaps\nbad\n0\n", 1,
         "\n\tFile " + (f.maps / "bad.txt").string() +
             " refused: " + reason(txt::reason_bad_sizes, {-1, 5}) + " \n"},
        {"0\n2\n" + p + "\nmaps\nabsent\n2\n", 1,
         "\n\tFile " + (f.maps / "absent.asc").string() + " unknown\n"},
        {"0\n2\n" + p + "\nmaps\nmap\n0\n1\n1\n0\n0\nres\n1\n1\n", 0,
         "\n\n\tto exit the program, hit any key on the keyboard \n\t"},
        // Answers saved with a UTF-8 byte order mark: the same run.
        {"\xEF\xBB\xBF" "0\n2\n" + p + "\nmaps\nmap\n0\n1\n1\n0\n0\nbom\n1\n1\n", 0,
         "\n\n\tto exit the program, hit any key on the keyboard \n\t"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answers);
        spit(f.root / "in.txt", c.answers);
        EXPECT_EQ(run_program((f.root / "in.txt").string(), (f.root / "out.txt").string()),
                  c.status);
        EXPECT_TRUE(slurp(f.root / "out.txt").ends_with(c.tail));
    }
    EXPECT_EQ(run_program("/dev/null", (f.root / "out.txt").string()), 1);
    EXPECT_EQ(slurp(f.maps / "bom_diversity.bmp"), slurp(f.maps / "res_diversity.bmp"));

    // A console that cannot be written (closed, full, a pipe closed by its reader): the
    // run goes on to write its files whole, and ends with status 1.
    const std::string session = "0\n2\n" + p + "\nmaps\nmap\n0\n1\n1\n0\n0\nout\n1\n1\n";
    spit(f.root / "in.txt", session);
    const std::string in = " < '" + (f.root / "in.txt").string() + "'";
    for (const std::string& cmd : {program() + in + " >&-", program() + in + " > /dev/full"}) {
        SCOPED_TRACE(cmd);
        fs::remove(f.maps / "out_diversity.bmp");
        EXPECT_EQ(shell(cmd), 1);
        EXPECT_EQ(slurp(f.maps / "out_diversity.bmp"), slurp(f.maps / "res_diversity.bmp"));
    }
    // A pipe whose reader is gone before the first byte: never a death by signal.
    fs::remove(f.maps / "out_diversity.bmp");
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGPIPE, SIG_DFL);
        const int answers = open((f.root / "in.txt").c_str(), O_RDONLY);
        dup2(answers, 0);
        dup2(ends[1], 1);
        execl(LANDMOSAIC_EXE, LANDMOSAIC_EXE, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ends[1]);
    int st = 0;
    ASSERT_EQ(waitpid(child, &st, 0), child);
    ASSERT_TRUE(WIFEXITED(st)) << "ended by signal " << WTERMSIG(st);
    EXPECT_EQ(WEXITSTATUS(st), 1);
    EXPECT_EQ(slurp(f.maps / "out_diversity.bmp"), slurp(f.maps / "res_diversity.bmp"));
}

// Memory that runs out: with the address space of the program held low, a grid of the
// treatment that cannot be allocated ends the run with its message; status 1 and never a crash. (Not under AddressSanitizer, which
// needs a vast address space of its own.)
TEST(HostileInput, MemoryThatRunsOutEndsTheRunWithItsMessage) {
    Folder f;
    spit(f.maps / "map.txt", "8000\n8000\n1\n0\n255\n30\n");  // 64 MB a grid
    spit(f.maps / "map.raw", "");
    fs::resize_file(f.maps / "map.raw", 8000 * 8000);  // zeros, taking no room on the disk
    spit(f.root / "in.txt", "0\n2\n" + f.prefix() + "\nmaps\nmap\n0\n1\n0\n0\n0\nres\n0\n1\n");
    struct Case {
        int limit_kb;
        std::string tail;
    };
    // The address space the program takes before it does anything (its shared libraries,
    // GDAL's among them), to the nearest 4 MB above: the limits below come on top of it.
    int lo = 0, hi = 1024 * 1024;
    while (hi - lo > 4 * 1024) {
        const int mid = (lo + hi) / 2;
        const std::string probe = "ulimit -v " + std::to_string(mid) + " && '" + LANDMOSAIC_EXE +
                                  "' --version >/dev/null 2>&1";
        const int r = std::system(probe.c_str());
        (r != -1 && WIFEXITED(r) && WEXITSTATUS(r) == 0 ? hi : lo) = mid;
    }
    const int base_kb = hi;
    // The map is read a band at a time, never whole: with room for neither result grid
    // (40 MB) or for one of them (100 MB), the run gets through the inventory and ends at
    // the treatment.
    const Case cases[] = {
        {base_kb + 40 * 1024, say(0, txt::out_of_memory, {8000, 8000})},
        {base_kb + 100 * 1024, say(0, txt::out_of_memory, {8000, 8000})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.limit_kb);
        const std::string cmd = "cd '" + f.root.string() + "' && ulimit -v " +
                                std::to_string(c.limit_kb) + " && '" + LANDMOSAIC_EXE +
                                "' < in.txt > out.txt 2> err.txt";
        const int r = std::system(cmd.c_str());
        if (slurp(f.root / "err.txt").find("Sanitizer") != std::string::npos)
            GTEST_SKIP() << "the program is built with a sanitizer";
        ASSERT_TRUE(r != -1 && WIFEXITED(r)) << "the program did not end by itself";
        EXPECT_EQ(WEXITSTATUS(r), 1);
        EXPECT_TRUE(slurp(f.root / "out.txt").ends_with(c.tail)) << slurp(f.root / "out.txt");
        // No result image, whatever happened.
        for (const std::string& name : f.files()) EXPECT_FALSE(name.starts_with("res_d")) << name;
    }
    // A pixel file of 3 bytes whose header claims 46340 x 46340 pixels is refused before
    // any memory is taken for it.
    spit(f.maps / "map.txt", "46340\n46340\n1\n0\n255\n30\n");
    spit(f.maps / "map.raw", "abc");
    const std::string cmd = "cd '" + f.root.string() + "' && ulimit -v " +
                            std::to_string(base_kb + 40 * 1024) + " && " + program() +
                            " < in.txt > out.txt 2> err.txt";
    EXPECT_EQ(shell(cmd), 1);
    EXPECT_TRUE(slurp(f.root / "out.txt")
                    .ends_with("\n\tFile " + (f.maps / "map.raw").string() + " refused: " +
                               reason(txt::reason_raw_short, {3LL, 46340LL * 46340}) + " \n"))
        << slurp(f.root / "out.txt");
}

namespace {

// Every file of a folder with its bytes.
std::map<std::string, std::string> contents(const fs::path& dir) {
    std::map<std::string, std::string> m;
    for (const auto& e : fs::directory_iterator(dir))
        m[e.path().filename().string()] = e.is_regular_file() ? slurp(e.path()) : "(not a file)";
    return m;
}

// No temporary file of a writer is left in the folder.
void no_temporary_files(const fs::path& dir) {
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        EXPECT_FALSE(name.starts_with(".landmosaic-") ||
                     (name.starts_with(".") && name.find(".part") != std::string::npos))
            << e.path();
    }
}

}  // namespace

// Result names that would leave the map's folder, cut the paths short (a NUL or another
// control byte), or make an output replace the map or its header, in each format and by
// any spelling: a line says why, the name is asked again, and the map stays as it was.
TEST(HostileInput, ResultNamesThatLeaveTheFolderOrReplaceTheMapAreAskedAgain) {
    struct Case {
        const char* what;
        int format;         // 0 raw, 1 bitmap, 2 ascii
        std::string image;  // the map's name, without extension
        int idiom;
        std::vector<std::string> names;  // typed before the good name
        bool hard_link = false;          // "h_homog.raw" is another name of the map file
    };
    const Case cases[] = {
        {"names that leave the folder or cut the paths", 0, "map", 0,
         {"a/b", "../up", "..", "x..y", std::string("r\0x", 3), "a\x01" "b", "\x1b[2J"}},
        {"raw map named like a result image", 0, "r_diversity", 1, {"r"}},
        {"raw map whose header is named like a report", 0, "x_info", 2, {"x"}},
        {"bitmap map named like a result", 1, "b_homog", 0, {"b"}},
        {"ascii map named like a result", 2, "a_diversity", 2, {"a"}},
        {"a result name that is a hard link to the map", 0, "map", 0, {"h"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Folder f;
        const fs::path base = f.maps / c.image;
        if (c.format == 0) raw_map(base, true);
        if (c.format == 1) bmp_map(base.string() + ".bmp");
        if (c.format == 2) ascii_map(base.string() + ".asc");
        const std::string ext = c.format == 0 ? ".raw" : c.format == 1 ? ".bmp" : ".asc";
        const std::string map_file = base.string() + ext;
        if (c.hard_link) fs::create_hard_link(map_file, f.maps / "h_homog.raw");
        const auto before = contents(f.maps);

        std::string answers = std::to_string(c.idiom) + "\n2\n" + f.prefix() + "\nmaps\n" +
                              c.image + "\n" + std::to_string(c.format) + "\n" +
                              (c.format == 1 ? "10\n" : "") + "1\n1\n0\n0\n";
        for (const std::string& n : c.names) answers += n + "\n";
        answers += "res\n0\n1\nk";
        const Outcome o = run_opening(answers);
        EXPECT_EQ(o.status, 0) << o.out;

        // The lines, in order, each followed by the question again.
        const std::string prompt = say(c.idiom, txt::result_name_prompt);
        std::vector<std::string> lines;
        for (const std::string& n : c.names) {
            if (c.names.size() == 1) {
                const std::string in =
                    c.image == "x_info" ? base.string() + ".txt" : map_file;
                const std::string out = c.hard_link ? (f.maps / "h_homog.raw").string() : in;
                lines.push_back(say(c.idiom, txt::result_name_clash, {out, in}));
                continue;
            }
            const Text& why = n.find('\0') != std::string::npos || n[1] == '\x01' || n[0] == '\x1b'
                                  ? txt::reason_name_control
                              : n.find('/') != std::string::npos ? txt::reason_name_separator
                                                                 : txt::reason_name_dots;
            std::string shown = n;
            for (char& ch : shown)
                if (static_cast<unsigned char>(ch) < 32) ch = '?';
            lines.push_back(say(c.idiom, txt::result_name_refused, {shown, say(c.idiom, why)}));
        }
        std::size_t at = o.out.find(prompt);
        for (const std::string& line : lines) {
            ASSERT_NE(at, std::string::npos);
            EXPECT_EQ(o.out.substr(at + prompt.size(), line.size() + prompt.size()), line + prompt);
            at = o.out.find(prompt, at + prompt.size());
        }
        EXPECT_EQ(count(o.out, prompt), lines.size() + 1);

        // The map and everything else that was there is untouched; the results are there,
        // and nothing was written outside the map's folder.
        auto after = contents(f.maps);
        for (const auto& [name, bytes] : before) EXPECT_EQ(after[name], bytes) << name;
        EXPECT_TRUE(after.count("res_diversity.raw"));
        EXPECT_EQ(after.size(), before.size() + 5);
        std::set<std::string> top;
        for (const auto& e : fs::directory_iterator(f.root)) top.insert(e.path().filename());
        EXPECT_EQ(top, std::set<std::string>{"maps"});
    }
}

#ifdef __linux__
// FIFOs as the map, its header or an output: refused or reported at once, never waited on.
TEST(HostileInput, FifosAreNeverWaitedOn) {
    struct Case {
        const char* fifo;
        const char* format;
        std::string tail;  // "@" is the folder of the map
        int status;
    };
    const Case cases[] = {
        {"map.raw", "0", "\n\tFile @map.raw refused: it is not a regular file \n", 1},
        {"map.txt", "0", "\n\tFile @map.txt refused: it is not a regular file \n", 1},
        {"map.bmp", "1", "\n\tFile @map.bmp refused: it is not a regular file \n", 1},
        {"map.asc", "2", "\n\tFile @map.asc refused: it is not a regular file \n", 1},
        {"res_info.txt", "0", "\n\tThe report file @res_info.txt cannot be created \n", 1},
        {"res_homog.raw", "0", "\n\tThe result file @res_homog.raw could not be written \n", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fifo);
        Folder f;
        if (std::string(c.fifo).starts_with("res") || c.format[0] == '0') {
            raw_map(f.maps / "map", true);
            fs::remove(f.maps / c.fifo);
        }
        ASSERT_EQ(mkfifo((f.maps / c.fifo).c_str(), 0600), 0);
        spit(f.root / "in.txt", "0\n2\n" + f.prefix() + "\nmaps\nmap\n" + c.format +
                                    "\n1\n1\n0\n0\nres\n0\n1\nk");
        EXPECT_EQ(run_program((f.root / "in.txt").string(), (f.root / "out.txt").string()),
                  c.status);
        const std::string out = slurp(f.root / "out.txt");
        const std::string tail = replace_all(c.tail, "@", f.maps.string() + "/");
        EXPECT_NE(out.find(tail), std::string::npos) << out.substr(out.size() - 200);
        EXPECT_TRUE(fs::is_fifo(f.maps / c.fifo));
        no_temporary_files(f.maps);
    }
}

// A full disk (a small file system of its own, mounted when the tests run as the
// superuser): no output is left cut under its name, an earlier file of that name stays
// as it was, no temporary file remains, and the report names only what was written.
TEST(HostileInput, FullDiskLeavesNoCutFileBehind) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs the superuser";
    Folder f;
    const std::string mount = "mount -t tmpfs -o size=64k landmosaic-full '" + f.maps.string() +
                              "' 2>/dev/null";
    if (shell(mount) != 0) GTEST_SKIP() << "no tmpfs can be mounted here";
    struct Unmount {
        fs::path p;
        ~Unmount() { shell("umount '" + p.string() + "'"); }
    } unmount{f.maps};
    // A 200 x 200 map (10 pages of the 16) and an earlier homogeneity image: each new
    // bitmap of 41 078 bytes cannot fit, the report can.
    std::string px;
    for (int i = 0; i < 200; ++i)
        for (int j = 0; j < 200; ++j) px += static_cast<char>((i / 20 + j / 30) % 5);
    spit(f.maps / "map.raw", px);
    spit(f.maps / "map.txt", "200\n200\n1\n0\n255\n30\n");
    spit(f.maps / "res_homog.bmp", "an earlier image");
    spit(f.root / "in.txt", "0\n2\n" + f.prefix() + "\nmaps\nmap\n0\n1\n1\n0\n0\nres\n1\n1\nk");
    EXPECT_EQ(run_program((f.root / "in.txt").string(), (f.root / "out.txt").string()), 1);
    const std::string out = slurp(f.root / "out.txt");
    for (const char* name : {"res_diversity.bmp", "res_homog.bmp"})
        EXPECT_NE(out.find(say(0, txt::result_not_written, {(f.maps / name).string()})),
                  std::string::npos)
            << name;
    EXPECT_EQ(f.files(), (std::set<std::string>{"map.raw", "map.txt", "res_homog.bmp",
                                                 "res_info.txt"}));
    EXPECT_EQ(slurp(f.maps / "res_homog.bmp"), "an earlier image");
    EXPECT_EQ(slurp(f.maps / "map.raw"), px);
    const std::string report = slurp(f.maps / "res_info.txt");
    EXPECT_NE(report.find("PROGRAM LANDMOSAIC"), std::string::npos);
    EXPECT_EQ(report.find("diversity image:"), std::string::npos);
    EXPECT_EQ(report.find("homogeneity image:"), std::string::npos);
    no_temporary_files(f.maps);
}

// Two runs writing the same result name at once: each file is one run's, whole.
TEST(HostileInput, TwoRunsOnOneResultNameLeaveOneRunsWholeFiles) {
    Folder f;
    std::string px;
    for (int i = 0; i < 300; ++i)
        for (int j = 0; j < 300; ++j) px += static_cast<char>((i * 7 / 40 + j * 3 / 50) % 9);
    spit(f.maps / "map.raw", px);
    spit(f.maps / "map.txt", "300\n300\n1\n0\n255\n30\n");
    // The same map at two ranks: different images under the same names.
    auto answers = [&](const std::string& rank, const std::string& name) {
        return "0\n2\n" + f.prefix() + "\nmaps\nmap\n0\n1\n" + rank + "\n1\n0\n0\n" + name +
               "\n0\n1\nk";
    };
    spit(f.root / "a.txt", answers("1", "a"));
    spit(f.root / "b.txt", answers("4", "b"));
    ASSERT_EQ(run_program((f.root / "a.txt").string(), "/dev/null"), 0);
    ASSERT_EQ(run_program((f.root / "b.txt").string(), "/dev/null"), 0);
    spit(f.root / "a.txt", answers("1", "res"));
    spit(f.root / "b.txt", answers("4", "res"));
    const std::string a_div = slurp(f.maps / "a_diversity.raw");
    const std::string b_div = slurp(f.maps / "b_diversity.raw");
    const std::string a_homo = slurp(f.maps / "a_homog.raw");
    const std::string b_homo = slurp(f.maps / "b_homog.raw");
    ASSERT_NE(a_div, b_div);
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        const std::string run = program() + " < '" + (f.root / "X.txt").string() + "' > /dev/null";
        EXPECT_EQ(shell("(" + replace_all(run, "X.txt", "a.txt") + ") & (" +
                        replace_all(run, "X.txt", "b.txt") + "); wait"),
                  0);
        const std::string div = slurp(f.maps / "res_diversity.raw");
        const std::string homo = slurp(f.maps / "res_homog.raw");
        EXPECT_TRUE(div == a_div || div == b_div);
        EXPECT_TRUE(homo == a_homo || homo == b_homo);
        const std::string info = slurp(f.maps / "res_info.txt");
        EXPECT_TRUE(info.ends_with("res_homog.raw ")) << info;
        no_temporary_files(f.maps);
    }
}

// ------------------------------------------------- the command line and the MPI program

namespace {

// A small file system of its own on `dir` (tmpfs of `size`), unmounted at the end; false
// (with the reason) where it cannot be mounted.
struct SmallDisk {
    fs::path dir;
    bool mounted = false;
    std::string why;
    SmallDisk(const fs::path& d, const std::string& size) : dir(d) {
        if (geteuid() != 0) {
            why = "mounting a small file system needs the superuser";
            return;
        }
        mounted = shell("mount -t tmpfs -o size=" + size + " landmosaic-small '" + d.string() +
                        "' 2>/dev/null") == 0;
        if (!mounted) why = "no tmpfs can be mounted here";
    }
    ~SmallDisk() {
        if (mounted) shell("umount '" + dir.string() + "'");
    }
};

// The command that runs the command line (np 0) or landmosaic-mpi on np ranks.
std::string front_end(int np) {
    if (np == 0) return program();
#ifdef LANDMOSAIC_MPI_EXE
    return std::string("ASAN_OPTIONS=detect_leaks=0 timeout 60 mpirun --oversubscribe") +
           (geteuid() == 0 ? " --allow-run-as-root" : "") + " -np " + std::to_string(np) + " '" +
           LANDMOSAIC_MPI_EXE + "'";
#else
    return {};
#endif
}

bool have_mpi() {
#ifdef LANDMOSAIC_MPI_EXE
    return shell("command -v mpirun > /dev/null 2>&1") == 0;
#else
    return false;
#endif
}

}  // namespace

// A disk that fills up during a batch run, on one process or on the ranks of an MPI job:
// each image is either written whole (the bytes of the same run on a roomy disk) and
// named in the report, or not written at all, with its message, an earlier file of its
// name untouched; the report is kept; status 1; no temporary file is left. Results that
// cannot fit in the folder at all are refused before anything is written, naming both
// sizes. (ASCII grids take 2 to 4 bytes a cell: the room is checked against the least.)
TEST(HostileInput, FullDiskInABatchRunKeepsWhatWasWrittenWhole) {
    Folder f;
    std::string px;
    for (int i = 0; i < 600; ++i)
        for (int j = 0; j < 600; ++j) px += static_cast<char>((i / 40 + j / 70) % 6);
    spit(f.root / "map.raw", px);
    spit(f.root / "map.txt", "600\n600\n1\n0\n255\n30\n");
    struct Case {
        int np;  // 0: the command line
        const char* format;
        const char* extra;
        const char* disk;  // room for the least the images take, not for both
        long long need;    // the room the results need at least, when they cannot fit
    };
    const std::string asc = " --x-min 0 --y-min 0";
    const Case cases[] = {{0, "raw", "", "512k", 720000},
                          {0, "asc", " --x-min 0 --y-min 0", "1600k", 0},
                          {3, "bmp", "", "512k", 2 * 361078},
                          {3, "asc", " --x-min 0 --y-min 0 --band-rows 100", "1600k", 0},
                          {2, "asc", " --x-min 0 --y-min 0 --band-rows 70", "1600k", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.np) + " " + c.format + c.extra);
        if (c.np > 0 && !have_mpi()) continue;
        const std::string args = std::string(" -q -w square -r 1 -f ") + c.format + c.extra +
                                 " '" + (f.root / "map.raw").string() + "' -o '";
        // The files the run writes on a roomy disk.
        ASSERT_EQ(shell(front_end(c.np) + args + (f.root / "ref").string() +
                        "' > /dev/null 2>&1"),
                  0);
        SmallDisk disk(f.maps, c.disk);
        if (!disk.mounted) GTEST_SKIP() << disk.why;
        const std::string ext = std::string(".") + c.format;
        for (const char* image : {"_diversity", "_homog"})
            spit(f.maps / ("r" + std::string(image) + ext), "an earlier image");
        const auto before = contents(f.maps);
        const int status = shell(front_end(c.np) + args + (f.maps / "r").string() + "' > '" +
                                 (f.root / "out.txt").string() + "' 2> '" +
                                 (f.root / "err.txt").string() + "'");
        EXPECT_EQ(status, 1);
        const std::string err = slurp(f.root / "err.txt");
        if (c.need > 0) {
            EXPECT_NE(err.find("The folder " + f.maps.string() +
                               " has no room for the results: they need " +
                               std::to_string(c.need) + " bytes, it has "),
                      std::string::npos)
                << err;
            EXPECT_EQ(contents(f.maps), before);
            continue;
        }
        const std::string report = slurp(f.maps / "r_info.txt");
        EXPECT_NE(report.find("PROGRAM LANDMOSAIC"), std::string::npos) << err;
        int whole = 0;
        for (const char* image : {"_diversity", "_homog"}) {
            const fs::path file = f.maps / ("r" + std::string(image) + ext);
            const std::string bytes = slurp(file);
            const bool named = report.find(" image: " + file.string() + " ") != std::string::npos;
            const bool said = err.find(file.string() + " could not be written") != std::string::npos;
            if (bytes == slurp(f.root / ("ref" + std::string(image) + ext))) {
                ++whole;
                EXPECT_TRUE(named) << file;
                EXPECT_FALSE(said) << err;
            } else {
                EXPECT_EQ(bytes, "an earlier image") << file;
                EXPECT_FALSE(named) << report;
                EXPECT_TRUE(said) << err;
            }
        }
        // One process writes the images one after the other: the first one fits.
        if (c.np == 0) {
            EXPECT_EQ(whole, 1);
        }
        EXPECT_EQ(slurp(f.root / "map.raw"), px);
        no_temporary_files(f.maps);
    }
}

// Paths that are not what they seem, on the command line: a FIFO as the map or as a
// source of a VRT map is refused at once (GDAL's open would wait on it forever); a path
// whose bytes are not UTF-8 goes into the JSON summary as replacement characters with
// its bytes beside; a GeoTIFF result name as long as the folder allows is written; a GDAL
// module named by LANDMOSAIC_GDAL_MODULE that cannot be used stops the run.
TEST(HostileInput, BatchRunPathsThatAreNotWhatTheySeem) {
    Folder f;
    raw_map(f.maps / "map", true);
    const std::string err = (f.root / "err.txt").string();
    auto run = [&](const std::string& env, const std::string& args) {
        return shell("cd '" + f.maps.string() + "' && " + env + program() +
                     " -q -w square -r 1 " + args + " > /dev/null 2> '" + err + "'");
    };
    // A map name that is not UTF-8.
    const std::string odd = "m\xff\xfe";
    fs::copy_file(f.maps / "map.raw", f.maps / (odd + ".raw"));
    fs::copy_file(f.maps / "map.txt", f.maps / (odd + ".txt"));
    EXPECT_EQ(run("", "-f raw --json s.json '" + odd + ".raw'"), 0) << slurp(err);
    const std::string summary = slurp(f.maps / "s.json");
    if (!summary.empty()) {
        EXPECT_NE(summary.find("\"map\": \"m\xEF\xBF\xBD\xEF\xBF\xBD.raw\""),
                  std::string::npos)
            << summary;
        EXPECT_NE(summary.find("\"map_bytes\": [\n    109,\n    255,\n    254,"),
                  std::string::npos)
            << summary;
    }
    // The GDAL module named outright: a missing file, a library that is no module.
    for (const std::string& module :
         {std::string("/nonexistent/landmosaic-gdal.so"), std::string("libz.so.1")}) {
        SCOPED_TRACE(module);
        EXPECT_EQ(run("LANDMOSAIC_GDAL_MODULE='" + module + "' ", "-f raw -o g map.raw"), 2);
        EXPECT_NE(slurp(err).find("LANDMOSAIC_GDAL_MODULE is set but cannot be used: "),
                  std::string::npos)
            << slurp(err);
        EXPECT_FALSE(fs::exists(f.maps / "g_info.txt"));
    }
    if (!gdal_available()) GTEST_SKIP() << "the rest needs GDAL";
    // A FIFO as a GeoTIFF map, and as the source of a VRT map.
    ASSERT_EQ(mkfifo((f.maps / "fifo.tif").c_str(), 0600), 0);
    spit(f.maps / "fifo.vrt",
         "<VRTDataset rasterXSize=\"11\" rasterYSize=\"9\"><VRTRasterBand dataType=\"Byte\" "
         "band=\"1\"><SimpleSource><SourceFilename relativeToVRT=\"1\">fifo.tif"
         "</SourceFilename><SourceBand>1</SourceBand></SimpleSource></VRTRasterBand>"
         "</VRTDataset>\n");
    for (const char* m : {"fifo.tif", "fifo.vrt"}) {
        SCOPED_TRACE(m);
        EXPECT_EQ(run("", "--pixel-size 30 " + std::string(m)), 1);
        EXPECT_NE(slurp(err).find("fifo.tif refused: it is not a regular file"),
                  std::string::npos)
            << slurp(err);
    }
    // GeoTIFF results whose names take all of the 255 bytes a name may have.
    const std::string base(255 - std::string("_diversity.tif").size(), 'n');
    EXPECT_EQ(run("", "-o " + base + " map.raw"), 0) << slurp(err);
    EXPECT_TRUE(fs::exists(f.maps / (base + "_diversity.tif")));
    EXPECT_TRUE(fs::exists(f.maps / (base + "_homog.tif")));
    no_temporary_files(f.maps);
}

// Under an address-space limit, GDAL's compression threads may not start: a GeoTIFF run
// still ends by itself within seconds, whole or with its message, and leaves no
// temporary file. (Not under AddressSanitizer, which needs a vast address space.)
TEST(HostileInput, GeoTiffRunUnderAnAddressSpaceLimitEndsByItself) {
    if (!gdal_available()) GTEST_SKIP() << "built without GDAL";
    Folder f;
    spit(f.maps / "map.txt", "20000\n300\n1\n0\n255\n30\n");
    spit(f.maps / "map.raw", "");
    fs::resize_file(f.maps / "map.raw", 20000 * 300);
    // The address space the program takes with GDAL loaded, to the nearest 4 MB above.
    int lo = 0, hi = 1024 * 1024;
    while (hi - lo > 4 * 1024) {
        const int mid = (lo + hi) / 2;
        const std::string probe = "ulimit -v " + std::to_string(mid) + " && '" + LANDMOSAIC_EXE +
                                  "' --version 2>&1 | grep -q '(GDAL '";
        (shell(probe) == 0 ? hi : lo) = mid;
    }
    for (int extra_mb : {4, 24, 64}) {
        SCOPED_TRACE(extra_mb);
        const std::string cmd = "cd '" + f.maps.string() + "' && ulimit -v " +
                                std::to_string(hi + extra_mb * 1024) + " && " + program() +
                                " -q --memory 16 -w square -r 1 map.raw -o r > /dev/null 2> '" +
                                (f.root / "err.txt").string() + "'";
        const int status = shell(cmd);
        const std::string said = slurp(f.root / "err.txt");
        if (said.find("Sanitizer") != std::string::npos)
            GTEST_SKIP() << "the program is built with a sanitizer";
        // At some limits the C library itself gives up while the program loads GDAL's
        // libraries (it cannot place their thread-local data) and ends the process: the
        // checks below still prove that it leaves no temporary file.
        const bool loader_gave_up =
            status == 127 && said.find("cannot allocate memory for thread-local data") !=
                                 std::string::npos;
        EXPECT_TRUE(status == 0 || status == 1 || loader_gave_up) << status << " " << said;
        EXPECT_EQ(said.find("CPLCreateJoinableThread"), std::string::npos) << said;
        if (status == 0) {
            EXPECT_TRUE(fs::exists(f.maps / "r_homog.tif"));
        }
        no_temporary_files(f.maps);
    }
}

namespace {

// Starts `argv` (the program first) in `dir`, its output to `err`; the child's pid.
pid_t start(const fs::path& dir, const std::vector<std::string>& args, const fs::path& err) {
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        const int out = open("/dev/null", O_WRONLY);
        const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        dup2(e, 2);
        // A process group of its own: mpirun and its ranks go with it.
        setpgid(0, 0);
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        alarm(120);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return child;
}

// The exit status and the peak resident memory (kB) of the program run with `args` in
// `dir`, its output to `err`.
int run_measured(const fs::path& dir, const std::vector<std::string>& args, const fs::path& err,
                 long& peak_kb) {
    std::vector<std::string> argv = {LANDMOSAIC_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    const pid_t child = start(dir, argv, err);
    int st = 0;
    struct rusage use {};
    if (child <= 0 || wait4(child, &st, 0, &use) != child) return -1;
    peak_kb = use.ru_maxrss;
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

}  // namespace

// The memory budget holds GDAL too: GeoTIFF results of a wide map stay within the budget
// and 64 MB, a map one row of which cannot fit in the budget is refused before a row is
// read, naming the row's size, and so is a tiny GeoTIFF declaring 2^31 - 1 columns.
TEST(HostileInput, GeoTiffRunsKeepToTheMemoryBudget) {
#if defined(LANDMOSAIC_SANITIZED)
    GTEST_SKIP() << "the sanitizers' own memory hides the program's";
#endif
    if (!gdal_available()) GTEST_SKIP() << "built without GDAL";
    Folder f;
    spit(f.maps / "wide.txt", "40\n200000\n1\n0\n255\n30\n");
    std::string px(40 * 200000, '\0');
    for (std::size_t k = 0; k < px.size(); ++k) px[k] = static_cast<char>((k / 7 + k / 200000) % 5);
    spit(f.maps / "wide.raw", px);
    const fs::path err = f.root / "err.txt";
    long peak = 0;
    EXPECT_EQ(run_measured(f.maps, {"-q", "--memory", "16", "-w", "square", "-r", "1", "-o", "w",
                                    "wide.raw"},
                           err, peak),
              0)
        << slurp(err);
    EXPECT_LE(peak, (16 + 64) * 1024) << "kB at the peak";
    EXPECT_TRUE(fs::exists(f.maps / "w_homog.tif"));
    EXPECT_EQ(run_measured(f.maps, {"-q", "--memory", "4", "-w", "square", "-r", "1", "-o", "n",
                                    "wide.raw"},
                           err, peak),
              1);
    EXPECT_NE(slurp(err).find("wide.raw refused: a row of 200000 pixels needs "),
              std::string::npos)
        << slurp(err);
    EXPECT_FALSE(fs::exists(f.maps / "n_info.txt"));
    if (shell("command -v gdal_create > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "gdal_create is not installed";
    ASSERT_EQ(shell("cd '" + f.maps.string() +
                    "' && gdal_create -q -of GTiff -outsize 2147483647 1 -bands 1 -ot Byte "
                    "-co COMPRESS=DEFLATE -co SPARSE_OK=TRUE -co BIGTIFF=YES -a_ullr 0 1 "
                    "2147483647 0 long.tif"),
              0);
    EXPECT_EQ(run_measured(f.maps, {"-q", "-w", "square", "-r", "1", "-f", "raw", "long.tif"},
                           err, peak),
              1);
    EXPECT_NE(slurp(err).find("long.tif refused: a row of 2147483647 pixels needs "),
              std::string::npos)
        << slurp(err);
    EXPECT_LE(peak, 256 * 1024) << "kB at the peak";
}

namespace {

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

// Ctrl-C and SIGTERM in the middle of a batch run, on one process and under mpirun: the
// run stops within seconds, removes its temporary files and leaves an earlier result of
// its name as it was; the program ends with 130 (SIGINT) or 143 (SIGTERM).
TEST(HostileInput, SignalsStopABatchRunAndLeaveNoTemporaryFile) {
    Folder f;
    // Large enough that an unhurried run takes seconds: the signal must come while it works.
    const int n = 8000;
    std::string px(static_cast<std::size_t>(n) * n, '\0');
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            px[static_cast<std::size_t>(i) * n + j] =
                static_cast<char>((i / 9 + j / 13 + (i * j) % 7) % 40);
    spit(f.maps / "map.raw", px);
    spit(f.maps / "map.txt", std::to_string(n) + "\n" + std::to_string(n) + "\n1\n0\n255\n30\n");
    spit(f.maps / "x_diversity.raw", "an earlier image");
    const fs::path err = f.root / "err.txt";
    const std::vector<std::string> run = {"-q",   "-w", "circle", "-r",  "120", "--threads", "1",
                                          "-f",   "raw", "--memory", "64", "-o", "x",
                                          "map.raw"};
    struct Case {
        int np;  // 0: the command line
        int sig;
        double after;  // seconds before the signal
    };
    const Case cases[] = {{0, SIGINT, 0.2}, {0, SIGTERM, 0.2}, {2, SIGINT, 0.1}};
#if defined(LANDMOSAIC_SANITIZED)
    // The sanitizers slow every step down: the run notices later, and mpirun, which gives
    // its ranks a short while before it kills them, may not wait for them.
    const double limit = 15.0;
    const bool sanitized = true;
#else
    const double limit = 2.0;
    const bool sanitized = false;
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.np) + " ranks, signal " + std::to_string(c.sig));
        if (c.np > 0 && (!have_mpi() || sanitized)) continue;
        std::vector<std::string> args;
        if (c.np == 0) {
            args = {LANDMOSAIC_EXE};
        } else {
#ifdef LANDMOSAIC_MPI_EXE
            // mpirun passes the signal on to its ranks a while later and kills them as long
            // again after that: two seconds rather than one, so that a loaded machine still
            // lets them finish removing their files.
            args = {"mpirun", "--oversubscribe", "--mca", "odls_base_sigkill_timeout", "2",
                    "-np", std::to_string(c.np), LANDMOSAIC_MPI_EXE};
            if (geteuid() == 0) args.insert(args.begin() + 1, "--allow-run-as-root");
#endif
        }
        args.insert(args.end(), run.begin(), run.end());
        const pid_t child = start(f.maps, args, err);
        ASSERT_GT(child, 0);
        // The signal is sent once the run has begun its outputs (its first temporary file
        // is there), however long mpirun takes to start its ranks.
        const auto waiting = std::chrono::steady_clock::now();
        auto begun = [&] {
            for (const auto& e : fs::directory_iterator(f.maps))
                if (e.path().filename().string().starts_with(".")) return true;
            return false;
        };
        while (!begun() && seconds_since(waiting) < 30.0)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::this_thread::sleep_for(std::chrono::duration<double>(c.after));
        const auto t0 = std::chrono::steady_clock::now();
        kill(child, c.sig);
        int st = 0;
        ASSERT_EQ(waitpid(child, &st, 0), child);
        const double took = seconds_since(t0);
        ASSERT_TRUE(WIFEXITED(st)) << "ended by signal " << WTERMSIG(st);
        // mpirun gives a status of its own to a job it was asked to stop.
        if (c.np == 0) {
            EXPECT_EQ(WEXITSTATUS(st), 128 + c.sig) << slurp(err);
            EXPECT_LT(took, limit);
        } else {
            EXPECT_NE(WEXITSTATUS(st), 0) << slurp(err);
            EXPECT_LT(took, 10.0);
        }
        EXPECT_NE(slurp(err).find("The run was cancelled: no result file was written"),
                  std::string::npos)
            << slurp(err);
        EXPECT_EQ(slurp(f.maps / "x_diversity.raw"), "an earlier image");
        EXPECT_FALSE(fs::exists(f.maps / "x_homog.raw"));
        EXPECT_FALSE(fs::exists(f.maps / "x_info.txt"));
        no_temporary_files(f.maps);
    }
}
#endif
