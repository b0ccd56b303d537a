// What the GDAL module's units share: the local files behind a path GDAL names, the names
// of temporary files, and the colours of results without a table of the run's own. Built
// into the GDAL module only.
#pragma once

#include <string>

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

// Colours for the diversity values: distinct neighbours first, then hues spread by the
// golden angle so that any value up to 254 has a colour of its own.
GDALColorEntry diversity_colour(int v);
// Homogeneity: a ramp from pale yellow (0 %) to dark green (100 %).
GDALColorEntry homogeneity_colour(int v);

}  // namespace gdal_impl
