#include "app/held.h"

#include <algorithm>
#include <memory>
#include <utility>

#include <climits>
#include <cstdio>

#include "app/run.h"
#include "app/run_parts.h"
#include "engine/bands.h"
#include "engine/memory_rows.h"
#include "formats/format.h"
#include "raster/file_handle.h"
#include "raster/output_file.h"
#include "text/catalogue.h"

namespace {

// Rows per band beside the map and the two result images held whole: a thirty-second of
// the map, so that the band's rings add little to them, yet several times the window's
// height, so that each band's scan does not spend its time on its halo.
int band_rows(int nb_lig, int range_win) {
    const long long window = 2LL * std::max(range_win, 0) + 1;
    const long long h = std::max({static_cast<long long>(nb_lig) / 32, 4 * window, 64LL});
    return static_cast<int>(std::min<long long>(h, std::max(nb_lig, 1)));
}

engine::MapInfo info_of(const LoadedMap& map) {
    engine::MapInfo info;
    info.nb_lig = map.nb_lig;
    info.nb_col = map.nb_col;
    info.dpix_size = map.dpix_size;
    info.UTM_coord = map.UTM_coord;
    info.X_min = map.X_min;
    info.Y_min = map.Y_min;
    return info;
}

// The map file read before, opened again for reading by rows. A file whose sizes are no
// longer those read before has changed under the run: it is refused.
std::unique_ptr<engine::RowSource> open_map_file(const RunAnswers& run, const LoadedMap& map,
                                                 Status& e) {
    std::unique_ptr<engine::RowSource> src;
    src = formats::format_of(run.format).open_source(run.nom_lect, info_of(map), e);
    if (src && (src->info().nb_lig != map.nb_lig || src->info().nb_col != map.nb_col)) {
        e = Status::refused(run.nom_lect, txt::reason_cannot_open);
        return nullptr;
    }
    return src;
}

// Lines and columns must be positive and their product must fit in an int, the count of
// the result images the dialogue holds whole.
Status check_sizes(const std::string& name, int nb_lig, int nb_col) {
    if (nb_lig <= 0 || nb_col <= 0)
        return Status::refused(name, txt::reason_bad_sizes, {nb_lig, nb_col});
    if (static_cast<long long>(nb_lig) * nb_col > INT_MAX)
        return Status::refused(name, txt::reason_too_large, {nb_lig, nb_col});
    return Status::success();
}

// The raw header beside the pixel file `nom_lect`, or the one the user typed (then written
// for later runs), into `declared` and `map`.
Status raw_header(const std::string& nom_lect, LoadedMap& map, engine::MapInfo& declared,
                  const LoadOptions& opt) {
    // The pixel file first: without it no header question is asked and none is written.
    bool not_regular = false;
    const File pixels{open_regular(nom_lect, "rb", not_regular)};
    if (!pixels.f) {
        if (not_regular) return Status::refused(nom_lect, txt::reason_not_regular);
        return Status::make(Status::Code::Missing, nom_lect, txt::raw_pixels_missing, {nom_lect});
    }
    RawHeader h;
    if (Status read = read_raw_header(map.nomdescr1, h); read.ok()) {
        if (Status s = check_sizes(map.nomdescr1, h.nb_lig, h.nb_col); !s.ok()) return s;
    } else if (read.code != Status::Code::Missing) {
        return read;
    } else if (!opt.typed_header) {
        // The dialogue asks for the values and opens the map again with them.
        read.code = Status::Code::NeedsHeader;
        return read;
    } else {
        h = *opt.typed_header;
        h.val = 1;
        h.min_al = 0;
        h.max_al = 255;
        if (Status s = check_sizes(nom_lect, h.nb_lig, h.nb_col); !s.ok()) return s;
        if (!write_raw_header(map.nomdescr1, h) && opt.warn)
            opt.warn(Status::make(Status::Code::NotWritten, map.nomdescr1, txt::header_not_written,
                                  {map.nomdescr1}));
    }
    run_parts::take_raw_header(h, map, declared);
    return Status::success();
}

// A source that tells `at_line` of each row before it is read, one row at a time.
class LineSource final : public engine::RowSource {
  public:
    LineSource(engine::RowSource& inner, const Progress& at_line)
        : inner_(inner), at_line_(at_line) {
        info_ = inner.info();
    }
    Status read(int y, int n, unsigned char* const* rows) override {
        for (int k = 0; k < n; ++k) {
            if (!at_line_(y + k, info_.nb_lig)) return Status::cancelled();
            if (Status e = inner_.read(y + k, 1, rows + k); !e.ok()) return e;
        }
        return {};
    }
    bool random_access() const override { return inner_.random_access(); }

  private:
    engine::RowSource& inner_;
    const Progress& at_line_;
};

}  // namespace

Status open_held_map(const std::string& base, int format, LoadedMap& map, std::string& nom_lect,
                     std::unique_ptr<engine::RowSource>& src, const LoadOptions& opt) {
    const formats::Format& f = formats::format_of(format);
    nom_lect = base + f.extension();
    engine::MapInfo declared;
    if (f.side_extension) {
        map.nomdescr1 = base + f.side_extension;
        if (Status s = raw_header(nom_lect, map, declared, opt); !s.ok()) return s;
    }
    declared.max_pixels = INT_MAX;
    Status e;
    src = f.open_source(nom_lect, declared, e);
    if (!src) return e;
    run_parts::header_from(src->info(), map);
    return Status::success();
}

Status held_inventory(engine::RowSource& src, int format, const std::string& nom_lect,
                      Inventory& inv, const LoadOptions& opt) {
    const engine::MapInfo& info = src.info();
    const engine::BandPlan plan = engine::plan_bands_of(info.nb_lig, {}, band_rows(info.nb_lig, 0));
    Status e;
    if (opt.ascii_line && formats::format_of(format).forward_only) {
        LineSource lines(src, opt.ascii_line);
        e = engine::take_inventory(lines, plan, inv);
    } else {
        e = engine::take_inventory(src, plan, inv);
    }
    if (!e.ok()) return e;
    if (opt.warn && info.extra_bytes > 0)
        opt.warn(Status::make(Status::Code::Ok, nom_lect, txt::raw_long_warning,
                              {nom_lect, info.pixels() + info.extra_bytes, info.pixels()}));
    if (opt.warn && info.extra_cells)
        opt.warn(Status::make(Status::Code::Ok, nom_lect, txt::ascii_extra_warning, {nom_lect}));
    return Status::success();
}

Status treat_into_memory(const RunAnswers& run, const LoadedMap& map, const Inventory& inv,
                         const Window& win, Results& res, const Progress& progress) {
    // The two images, each one block of rows in order, written a band at a time.
    ByteGrid div(ucmatrice(map.nb_col, map.nb_lig), map.nb_lig);
    ByteGrid homo(ucmatrice(map.nb_col, map.nb_lig), map.nb_lig);
    if (!div || !homo)
        return Status::make(Status::Code::OutOfMemory, {}, txt::out_of_memory,
                            {map.nb_col, map.nb_lig});
    engine::MemorySink diversity(div[0], map.nb_lig, map.nb_col, map.nb_col);
    engine::MemorySink homogeneity(homo[0], map.nb_lig, map.nb_col, map.nb_col);
    engine::BandJob job;
    job.treat_type = run.treat_type;
    job.win_shape = run.win_shape;
    job.range_win = run.range_win;
    const engine::BandPlan plan =
        engine::plan_bands_of(map.nb_lig, job, band_rows(map.nb_lig, run.range_win));
    // The map is read again from its file, a band at a time: it is not held beside the
    // two result images.
    Status e;
    const std::unique_ptr<engine::RowSource> src = open_map_file(run, map, e);
    if (!src) return e;
    engine::DiversityTotals totals;
    e = engine::treat_in_bands(*src, inv, win, job, plan, diversity, homogeneity, totals,
                               progress);
    if (!e.ok()) return e;
    res.rw = run.range_win;
    std::copy(std::begin(totals.histo_div), std::end(totals.histo_div), std::begin(res.histo_div));
    res.max_histo = totals.max_histo;
    res.tab_divers = std::move(div);
    res.tab_homo = std::move(homo);
    return Status::success();
}

Status write_held_image(const RunAnswers& run, const LoadedMap& map, ByteMatrix grid,
                        const std::string& base, std::string& written) {
    const engine::MapInfo info = info_of(map);
    Status e;
    auto sink = formats::format_of(run.res_form).make_sink(base, info, e);
    if (sink) {
        e = sink->write(0, map.nb_lig, grid);
        if (e.ok()) e = sink->commit();
    }
    if (!e.ok()) return e;
    written = sink->name();
    return Status::success();
}
