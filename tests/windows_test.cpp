// The Windows program, cross-built with MinGW-w64 and run under Wine, against the native
// program: whole scripted sessions on the same small map must leave byte-identical result
// images and the same console dialogue and report, but for the paths (a drive letter and
// backslashes), the line ends of text-mode streams (CRLF on Windows) and the console
// encoding (code page 850 bytes on Windows, UTF-8 elsewhere).
//
// Skipped when the cross compiler or Wine is missing. The Windows program and the Wine
// prefix live under build/ and are made once, whichever test process comes first. The files
// of a failed session stay in the temporary folder (all of them with
// LANDMOSAIC_KEEP_TEST_FILES set).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "file_fixtures.h"
#include "dialogue/console.h"

namespace fs = std::filesystem;
using tf::replace_all;
using tf::slurp;
using tf::spit;

namespace {

const std::string kSource = LANDMOSAIC_SOURCE_DIR;
const std::string kScript = kSource + "/tools/windows.sh";
const std::string kPrefix = kSource + "/build/wine-prefix";
const std::string kNativeExe = LANDMOSAIC_EXE;
// Built (at -O1) and its prefix made by the test `WindowsBuild.Prepare`, which CTest runs
// before these tests while the others go on; `make windows` builds its own folders.
const std::string kBuild64 = LANDMOSAIC_WINDOWS_BUILD;

std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

int shell(const std::string& cmd) {
    int r = std::system(cmd.c_str());
    if (r == -1 || !WIFEXITED(r)) return -1;
    return WEXITSTATUS(r);
}

// The text a Windows text-mode stream wrote, with its line ends as elsewhere.
std::string unix_lines(const std::string& s) {
    return replace_all(s, "\r\n", "\n");
}

// The Windows console bytes (code page 850) as the native console shows them (UTF-8).
std::string utf8_console(const std::string& s) {
    std::string out;
    for (char c : s) out += cp850_to_utf8(static_cast<unsigned char>(c));
    return out;
}

// Backslashes of the default folders' paths turned into slashes; nothing else of these
// dialogues holds one.
std::string as_linux_paths(std::string s) {
    for (const char* p : {"C:\\images\\", "D:\\images\\"}) {
        std::size_t at = 0;
        while ((at = s.find(p, at)) != std::string::npos) {
            // The folder path up to the end of the name that follows it.
            std::size_t end = s.find_first_of(" \n", at);
            std::replace(s.begin() + static_cast<std::ptrdiff_t>(at),
                         s.begin() + static_cast<std::ptrdiff_t>(end), '\\', '/');
            at = end;
        }
    }
    return s;
}

// The path Wine gives to a Unix path: the root is drive Z:.
std::string wine_path(const std::string& unix_path) {
    std::string p = "Z:" + unix_path;
    std::replace(p.begin(), p.end(), '/', '\\');
    return p;
}

// ---------------------------------------------------------------------------------------
// The test map: 23 lines of 29 columns, patches of five classes, a few pixels of 255.

constexpr int kLines = 23;
constexpr int kColumns = 29;

unsigned char code_at(int i, int j) {
    static const unsigned char codes[6] = {0, 3, 7, 12, 40, 255};
    const int band = (i / 4 + j / 5) % 5;
    const int speck = (i * 7 + j * 3 + (i * j) % 5) % 11;
    if (speck == 0) return codes[5];
    if (speck == 4) return codes[(band + 2) % 5];
    return codes[band];
}

// Raw pixels and their header; `with_header` false leaves the header for the run to write.
void write_raw_map(const fs::path& base, int pixel_size, bool with_header) {
    std::string px;
    for (int i = 0; i < kLines; ++i)
        for (int j = 0; j < kColumns; ++j) px += static_cast<char>(code_at(i, j));
    spit(base.string() + ".raw", px);
    if (with_header) {
        spit(base.string() + ".txt", std::to_string(kLines) + "\n" + std::to_string(kColumns) +
                                         "\n1\n0\n255\n" + std::to_string(pixel_size) + "\n");
    }
}

void put32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) s[at + k] = static_cast<char>((v >> (8 * k)) & 0xFF);
}

// An 8-bit bitmap with the grey ramp as palette, rows bottom-up, each padded to 4 bytes.
void write_bmp_map(const fs::path& file) {
    const int row = (kColumns + 3) / 4 * 4;
    std::string s(1078, '\0');
    s[0] = 'B';
    s[1] = 'M';
    put32(s, 2, static_cast<std::uint32_t>(1078 + row * kLines));
    put32(s, 10, 1078);
    put32(s, 14, 40);
    put32(s, 18, kColumns);
    put32(s, 22, kLines);
    s[26] = 1;
    s[28] = 8;
    put32(s, 34, static_cast<std::uint32_t>(row * kLines));
    for (int c = 0; c < 256; ++c)
        for (int k = 0; k < 3; ++k) s[54 + 4 * c + k] = static_cast<char>(c);
    for (int i = kLines - 1; i >= 0; --i) {
        std::string r(static_cast<std::size_t>(row), '\0');
        for (int j = 0; j < kColumns; ++j) r[j] = static_cast<char>(code_at(i, j));
        s += r;
    }
    spit(file, s);
}

// An ascii grid with one text line per image line; code 255 is written as the no-data
// value, and code 40 as 296 (which keeps 40 as its low 8 bits).
void write_ascii_map(const fs::path& file) {
    std::string s = "NCOLS " + std::to_string(kColumns) + "\nNROWS " + std::to_string(kLines) +
                    "\nXLLCORNER 612345.25\nYLLCORNER 4101234.5\nCELLSIZE 12.5\n"
                    "NODATA_VALUE -9999\n";
    for (int i = 0; i < kLines; ++i) {
        for (int j = 0; j < kColumns; ++j) {
            const int c = code_at(i, j);
            s += c == 255 ? "-9999" : c == 40 ? "296" : std::to_string(c);
            s += j + 1 < kColumns ? " " : "\r\n";
        }
    }
    spit(file, s);
}

// ---------------------------------------------------------------------------------------

struct Tools {
    bool ready = false;
    std::string why;  // why the sessions cannot run here
};

// Builds the Windows program (once per build tree, under a lock) and makes the Wine prefix.
Tools windows_tools(const std::string& arch, const std::string& build_dir, std::string& exe) {
    Tools t;
    int r = shell("sh " + quoted(kScript) + " check " + arch);
    if (r == 77) {
        t.why = "no " + arch + " MinGW-w64 compiler";
        return t;
    }
    r = shell("sh " + quoted(kScript) + " build " + arch + " " + quoted(build_dir));
    EXPECT_EQ(r, 0) << "the " << arch << " Windows build failed (see " << build_dir
                    << "/build.log)";
    if (r != 0) return t;
    exe = build_dir + "/landmosaic.exe";
    if (shell("sh " + quoted(kScript) + " canrun " + arch) != 0) {
        t.why = "Wine cannot run " + arch + " programs here";
        return t;
    }
    r = shell("sh " + quoted(kScript) + " prefix " + quoted(kPrefix));
    EXPECT_EQ(r, 0) << "the Wine prefix could not be made";
    if (r != 0) return t;
    t.ready = true;
    return t;
}

std::string timeout_cmd() {
    return shell("command -v timeout >/dev/null 2>&1") == 0 ? "timeout 180 " : "";
}

// A map of 4 lines of 8 columns in which code 1 covers one pixel in 32: its share, 3.125,
// is a tie at two decimals that every printf must break the same way.
void write_tiny_map(const fs::path& base) {
    std::string px(32, '\2');
    px[13] = '\1';
    spit(base.string() + ".raw", px);
    spit(base.string() + ".txt", "4\n8\n1\n0\n255\n10\n");
}

enum class Input { Raw, RawWithoutHeader, Bitmap, Ascii, Tiny };

// One session, run natively and under Wine on copies of the same map in two folders.
struct Twin {
    fs::path root;               // private directory of the test
    fs::path native;             // <root>/native/maps
    fs::path windows;            // <root>/windows/maps
    std::string native_prefix;   // typed at the disk question: "<root>/native/"
    std::string windows_prefix;  // "Z:\...\windows\"
    int native_status = -1, windows_status = -1;
    std::string native_out, windows_out;

    explicit Twin(const std::string& name) {
        std::string tmpl = (fs::temp_directory_path() / ("landmosaic-win-" + name + "-XXXXXX"));
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        const char* made = mkdtemp(buf.data());
        root = made ? fs::path(made) : fs::path(tmpl);
        native = root / "native" / "maps";
        windows = root / "windows" / "maps";
        fs::create_directories(native);
        fs::create_directories(windows);
        native_prefix = (root / "native").string() + "/";
        windows_prefix = wine_path((root / "windows").string()) + "\\";
    }
    ~Twin() {
        if (!::testing::Test::HasFailure() && !std::getenv("LANDMOSAIC_KEEP_TEST_FILES")) {
            std::error_code ec;
            fs::remove_all(root, ec);
        }
    }

    void place_map(Input in) {
        for (const fs::path& dir : {native, windows}) {
            switch (in) {
                case Input::Raw:
                    write_raw_map(dir / "map", 30, true);
                    break;
                case Input::RawWithoutHeader:
                    write_raw_map(dir / "map", 30, false);
                    break;
                case Input::Bitmap:
                    write_bmp_map(dir / "map.bmp");
                    break;
                case Input::Ascii:
                    write_ascii_map(dir / "map.asc");
                    break;
                case Input::Tiny:
                    write_tiny_map(dir / "map");
                    break;
            }
        }
    }

    // `answers` holds {P} where the disk prefix is typed.
    void run(const std::string& windows_exe, const std::string& arch, const std::string& answers) {
        spit(root / "native.in", replace_all(answers, "{P}", native_prefix));
        spit(root / "windows.in", replace_all(answers, "{P}", windows_prefix));
        native_status = shell("cd " + quoted(root.string()) + " && " + timeout_cmd() +
                              quoted(kNativeExe) + " < native.in > native.out 2> native.err");
        windows_status = shell("cd " + quoted(root.string()) + " && " + timeout_cmd() + "sh " +
                               quoted(kScript) + " run " + arch + " " + quoted(kPrefix) + " " +
                               quoted(windows_exe) + " < windows.in > windows.out 2> windows.err");
        native_out = slurp(root / "native.out");
        windows_out = slurp(root / "windows.out");
    }

    // Windows text with the Windows paths of this session turned into the native ones.
    std::string as_native(const std::string& s) const {
        std::string t = replace_all(s, windows_prefix + "maps\\", native_prefix + "maps/");
        return replace_all(t, windows_prefix, native_prefix);
    }

    // Every file of the two folders, compared: result images and headers to the byte,
    // reports as text; `expected` must all be there.
    void compare_files(const std::vector<std::string>& expected) const {
        std::map<std::string, std::string> n, w;
        for (const auto& e : fs::directory_iterator(native))
            n[e.path().filename().string()] = slurp(e.path());
        for (const auto& e : fs::directory_iterator(windows))
            w[e.path().filename().string()] = slurp(e.path());
        for (const std::string& name : expected) {
            EXPECT_TRUE(n.count(name)) << "native run left no " << name;
            EXPECT_TRUE(w.count(name)) << "Windows run left no " << name;
        }
        std::vector<std::string> nn, wn;
        for (const auto& [k, v] : n) nn.push_back(k);
        for (const auto& [k, v] : w) wn.push_back(k);
        EXPECT_EQ(nn, wn) << "the two runs left different files";
        for (const auto& [name, bytes] : n) {
            auto it = w.find(name);
            if (it == w.end()) continue;
            if (name.ends_with("_info.txt")) {
                EXPECT_FALSE(bytes.find('\r') != std::string::npos) << name;
                // Paths are made with the system's separator.
                EXPECT_NE(it->second.find(windows_prefix + "maps\\map."), std::string::npos)
                    << it->second;
                EXPECT_EQ(as_native(unix_lines(it->second)), bytes)
                    << name << ": the reports differ";
            } else {
                EXPECT_TRUE(it->second == bytes)
                    << name << ": " << it->second.size() << " bytes under Windows, " << bytes.size()
                    << " natively; the files differ";
            }
        }
    }

    void compare_dialogues() const {
        EXPECT_EQ(native_status, 0) << "native run:\n" << native_out;
        EXPECT_EQ(windows_status, 0) << "Windows run:\n" << windows_out;
        // No bare line feed may leave a Windows text-mode stream.
        std::size_t bare = 0;
        for (std::size_t k = 0; k < windows_out.size(); ++k)
            if (windows_out[k] == '\n' && (k == 0 || windows_out[k - 1] != '\r')) ++bare;
        EXPECT_EQ(bare, 0u);
        EXPECT_EQ(as_native(utf8_console(unix_lines(windows_out))), native_out);
    }
};

struct Session {
    const char* name;
    Input input;
    const char* answers;
    std::vector<std::string> files;
};

// Sessions that together cover the three input and result formats, the cell mesh and both
// window shapes, the three languages, the rank help, a rejected size, a header the run
// writes itself, typed map coordinates and the mesh drawing.
const std::vector<Session>& sessions() {
    static const std::vector<Session> all = {
        {"raw_cells_to_raw",
         Input::Raw,
         // English; no help, R 2, cell mesh, sizes accepted; raster results; mesh drawn.
         "0\n2\n{P}\nmaps\nmap\n0\n1\n2\n0\n0\nres1\n0\n0\nk",
         {"res1_diversity.raw", "res1_diversity.txt", "res1_homog.raw", "res1_homog.txt",
          "res1_info.txt"}},
        {"bitmap_square_to_bitmap",
         Input::Bitmap,
         // French; pixel size 12.5; help (30 m, 0.5 km2), R 1, square window; bitmaps.
         "1\n2\n{P}\nmaps\nmap\n1\n12.5\n0\n30\n0.5\n1\n1\n0\n0\nres2\n1\n1\nk",
         {"res2_diversity.bmp", "res2_homog.bmp", "res2_info.txt"}},
        {"ascii_circle_to_ascii",
         Input::Ascii,
         // Spanish; R 3, circular window; ascii grids with the input's corner.
         "2\n2\n{P}\nmaps\nmap\n2\n1\n3\n1\n1\n0\nres3\n2\n1\nk",
         {"res3_diversity.asc", "res3_homog.asc", "res3_info.txt"}},
        {"raw_rejected_then_circle_to_ascii",
         Input::RawWithoutHeader,
         // English; the header is asked (23 x 29, 25 m) and written; a square window of
         // R 1 is rejected, then a circle of R 2; ascii grids with typed corner; mesh drawn.
         "0\n2\n{P}\nmaps\nmap\n0\n23\n29\n25\n1\n1\n1\n0\n1\n1\n2\n1\n1\n0\nres4\n2\n"
         "500000.5\n4000000.25\n0\nk",
         {"map.txt", "res4_diversity.asc", "res4_homog.asc", "res4_info.txt"}},
        {"ascii_square_to_raw",
         Input::Ascii,
         // English; R 2, square window; raster results.
         "0\n2\n{P}\nmaps\nmap\n2\n1\n2\n1\n0\n0\nres5\n0\n1\nk",
         {"res5_diversity.raw", "res5_diversity.txt", "res5_homog.raw", "res5_homog.txt",
          "res5_info.txt"}},
        {"percent_tie_cells_to_bitmap",
         Input::Tiny,
         // English; R 0, cell mesh; bitmaps.
         "0\n2\n{P}\nmaps\nmap\n0\n1\n0\n0\n0\nres7\n1\n1\nk",
         {"res7_diversity.bmp", "res7_homog.bmp", "res7_info.txt"}},
        {"bitmap_cells_to_bitmap_with_mesh",
         Input::Bitmap,
         // French; pixel size 2.5; R 3, cell mesh; bitmaps; mesh drawn.
         "1\n2\n{P}\nmaps\nmap\n1\n2.5\n1\n3\n0\n0\nres6\n1\n0\nk",
         {"res6_diversity.bmp", "res6_homog.bmp", "res6_info.txt"}},
    };
    return all;
}

void run_sessions(const std::string& arch, const std::string& build_dir,
                  const std::vector<Session>& which) {
    std::string exe;
    Tools t = windows_tools(arch, build_dir, exe);
    if (::testing::Test::HasFailure()) return;
    if (!t.ready) GTEST_SKIP() << t.why;
    for (const Session& s : which) {
        SCOPED_TRACE(s.name);
        Twin twin(std::string(s.name) + "-" + arch);
        twin.place_map(s.input);
        twin.run(exe, arch, s.answers);
        twin.compare_dialogues();
        twin.compare_files(s.files);
        if (s.input == Input::Tiny) {
            // The tie is there, and broken as C99 asks (to even).
            EXPECT_NE(twin.native_out.find("item 1 code 1 pixels 1 percent 3.12 "),
                      std::string::npos);
        }
    }
}

}  // namespace

TEST(WindowsBuild, WholeSessionsUnderWineMatchTheNativeProgram) {
    run_sessions("x86_64", kBuild64, sessions());
}

// The Windows folders of the disk menu, and runs that fail: exit status 1 and their
// message, as the native program gives them.
TEST(WindowsBuild, DiskFoldersAndFailuresUnderWine) {
    std::string exe;
    Tools t = windows_tools("x86_64", kBuild64, exe);
    if (::testing::Test::HasFailure()) return;
    if (!t.ready) GTEST_SKIP() << t.why;
    struct Case {
        const char* answers;
        std::string tail;  // the end of the Windows console, its lines ended by CRLF
    };
    const Case cases[] = {
        {"0\n0\ndem\nmap\n2\n", "\r\n\tFile C:\\images\\dem\\map.asc unknown\r\n"},
        {"0\n1\ndem\nmap\n0\n10\n10\n30\n", "\r\n\tNo File  D:\\images\\dem\\map.raw \r\n"},
        {"0\n2\n", "\r\n\r\n\tThe answers ended before the dialogue was over.\r\n"},
        {"1\n",
         "\r\n\r\n\tLes r\x82ponses se sont arr\x88t\x82"
         "es avant la fin du dialogue.\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answers);
        Twin twin("failures");
        twin.run(exe, "x86_64", c.answers);
        EXPECT_EQ(twin.windows_status, 1);
        EXPECT_EQ(twin.native_status, 1);
        EXPECT_TRUE(twin.windows_out.ends_with(c.tail)) << twin.windows_out.substr(
            twin.windows_out.size() > 200 ? twin.windows_out.size() - 200 : 0);
        // Natively the same run names the same folders in their Linux form.
        EXPECT_EQ(
            replace_all(replace_all(as_linux_paths(utf8_console(unix_lines(twin.windows_out))),
                                    "C:/images/", "/mnt/c/images/"),
                        "D:/images/", "/mnt/d/images/"),
            twin.native_out);
    }
}

TEST(WindowsBuild, ThirtyTwoBitProgramBuildsAndRunsWhereWineCan) {
    // Building the 32-bit program is only worth its minutes where Wine can run it; `make
    // windows` builds it everywhere.
    if (shell("sh " + quoted(kScript) + " canrun i686") != 0)
        GTEST_SKIP() << "Wine cannot run i686 programs here";
    // Only the first session: the run needs 32-bit Wine.
    run_sessions("i686", kSource + "/build/windows-i686", {sessions()[0]});
}
