// The run's answers: everything the dialogue asks, held for the later stages.
#pragma once

#include <string>

inline constexpr int kEnglish = 0;
inline constexpr int kFrench = 1;
inline constexpr int kSpanish = 2;

// Image formats, for the input (`format`) and the results (`res_form`).
inline constexpr int kRaster = 0;
inline constexpr int kBitmap = 1;
inline constexpr int kAscii = 2;
// Results only, from the command line: a georeferenced GeoTIFF.
inline constexpr int kGeoTiff = 3;

// The highest rank R accepted: (2R + 1)^2 pixels must stay countable in 32 bits.
inline constexpr int kMaxRank = 23169;

struct RunAnswers {
    int idiom = 0;       // language: 0 English, 1 French, 2 Spanish
    int rep = 0;         // disk menu answer
    int format = 0;      // input format: 0 raster, 1 bitmap, 2 ascii
    int range_def = 0;   // rank help wanted: 0 yes, 1 no
    int range_win = 0;   // the rank R
    int treat_type = 0;  // 0 cell mesh, 1 moving window
    int win_shape = 0;   // 0 square, 1 circle (moving window only)
    int size_OK = 0;     // sizes accepted: 0 yes, 1 no
    int res_form = 0;    // result format: 0 raster, 1 bitmap, 2 ascii, 3 GeoTIFF

    std::string nomim1;    // the input path being built
    std::string nomdir;    // the folder typed by the user
    std::string nomfic1;   // the image name, later the generic result name
    std::string nom_lect;  // input path; after loading it ends with the extension read
    std::string nomim3;    // result prefix: input folder, then the generic result name
    std::string nom_info;  // report file: nomim3 + "_info.txt"
};

// The path separator and the default folders of the disk menu on this system.
#ifdef _WIN32
inline constexpr char kSeparator = '\\';
inline constexpr const char* kDiskFolder0 = "C:\\images\\";
inline constexpr const char* kDiskFolder1 = "D:\\images\\";
#else
inline constexpr char kSeparator = '/';
inline constexpr const char* kDiskFolder0 = "/mnt/c/images/";
inline constexpr const char* kDiskFolder1 = "/mnt/d/images/";
#endif
