// What the GDAL module's units share: the local files behind a path GDAL names, the names
// of temporary files and of the sidecars beside results, and the colours and class names of
// results. Built into the GDAL module only.
#pragma once

#include <cstdio>
#include <string>
#include <system_error>
#include <vector>

#include <cpl_error.h>
#include <gdal.h>

namespace gdal_impl {

// The local file behind a path GDAL names: a /vsi path (/vsisubfile/OFF_SIZE,FILE,
// /vsigzip/FILE, /vsizip/ARCHIVE/MEMBER, ...) is taken to the file or archive it reads,
// the longest leading part of it that exists; a path with nothing local behind it (a
// network file, memory) gives "".
std::string local_file(std::string path);

// The first file among `path` and, for a VRT, the files its sources name (VRTs within
// VRTs too), that exists but is not a regular file: a FIFO, a device or a folder, on which
// GDAL's open would block or read garbage. "" when there is none. Read before GDAL opens
// anything.
std::string special_file_in(const std::string& path, int depth = 0);

// A name in the same folder for the file being written: short and of a fixed length
// (".landmosaic-" and 12 random letters and digits, as every temporary file of the
// program), so that a final name as long as the folder allows still gets one.
std::string temporary_name(const std::string& path);

// The sidecar of a raster file (NAME.aux.xml): where GDAL keeps what the format cannot
// hold, GeoTIFF's category names among them.
std::string sidecar(const std::string& path);
// The image `from` renamed to `to` with its sidecar, so that `to` never goes with a
// sidecar of another file: the sidecar goes first, over an earlier one of `to`, or an
// earlier one is removed when `from` has none; then the image. When the image cannot be
// renamed, the sidecar moved for it is removed. False, with `ec`, when one rename fails.
bool rename_with_sidecar(const std::string& from, const std::string& to, std::error_code& ec);
// The file `path` and its sidecar removed, when they exist.
void remove_with_sidecar(const std::string& path);

// The colour of class code v (class_colour) as GDAL takes it: distinct neighbours first,
// then hues spread by the golden angle so that any code up to 254 has a colour of its own.
GDALColorEntry class_entry(int v);
// Homogeneity: a ramp from pale yellow (0 %) to dark green (100 %).
GDALColorEntry homogeneity_colour(int v);
// The names of the classes, by code (empty for a code without name), as the band's
// category names; codes 0 to 254 only, 255 being no value. True when there are none.
bool set_class_names(GDALRasterBandH band, const std::vector<std::string>& names);

// GDAL's drivers registered, once for the process, with a quiet handler for the messages
// no call of the program's keeps (those of GDAL's worker threads).
void register_drivers();

// Creation options NAME=VALUE as GDAL takes them (a NAME alone sets an empty value).
char** user_options(const std::vector<std::string>& given);
// Whether GDAL may compress tiles on worker threads (see gdal_options.cpp).
bool compression_threads_usable();
// The first of `options` that GDAL's GeoTIFF driver (COG driver when `cog`) refuses, by
// name and value or on a tiny file of each kind of band the run writes, a newline and
// GDAL's reason; "" when it takes them all.
std::string creation_options_problem(const std::vector<std::string>& options, bool cog,
                                     bool bytes, bool reals);

// GDAL's messages on this thread while the object lives, kept instead of shown: the
// first one goes under the program's own message. (GDAL's handlers are a stack of each
// thread's own; messages of GDAL's worker threads go to the process's quiet handler.)
class GdalMessages {
  public:
    GdalMessages();
    ~GdalMessages();
    GdalMessages(const GdalMessages&) = delete;
    GdalMessages& operator=(const GdalMessages&) = delete;
    // The first failure GDAL reported, else its first warning; "" when it said nothing.
    std::string first() const;
    bool failed() const { return !failures_.empty(); }

  private:
    static void CPL_STDCALL keep(CPLErr kind, CPLErrorNum, const char* message);
    std::vector<std::string> failures_;
    std::vector<std::string> warnings_;
};

// What the libraries under GDAL write straight to the standard error during one call
// (HDF5's error stack, some drivers' own prints): the standard error goes to a temporary
// file while the object lives, and comes back when it ends. One capture at a time in the
// process, since the standard error is the process's.
class StderrCapture {
  public:
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;
    // Gives the standard error back and returns the first useful line written meanwhile
    // ("" when nothing was).
    std::string finish();

  private:
    std::FILE* file_ = nullptr;
    int saved_ = -1;
    bool locked_ = false;
};

// The first useful line of what a library wrote to the standard error: HDF5's error stack
// gives its first entry's words ("HDF5: unable to open file"), anything else its first
// line that is not blank.
std::string first_useful_line(const std::string& text);

}  // namespace gdal_impl
