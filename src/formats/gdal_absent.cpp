// A build without GDAL: only the program's own formats.
#include "formats/gdal_raster.h"
#include "text/catalogue.h"

std::string gdal_module_problem() {
    return {};
}

std::string gdal_version() {
    return {};
}

bool gdal_available() {
    return false;
}

std::unique_ptr<GdalRowSource> gdal_row_source(const std::string& path, int, LoadedMap&,
                                               Status& st, bool) {
    st = Status::refused(path, txt::reason_no_gdal);
    return nullptr;
}

std::unique_ptr<engine::RowSink> geotiff_sink(
    const std::string& path, const LoadedMap&, ResultKind,
    const std::vector<std::pair<std::string, std::string>>&, int, Status& st,
    const GeoTiffLayout&) {
    st = Status::make(Status::Code::NotWritten, path, txt::result_not_written, {path});
    st.detail = "this build has no GDAL";
    return nullptr;
}

std::string gdal_creation_options_problem(const std::vector<std::string>&, bool, bool, bool) {
    return {};
}

