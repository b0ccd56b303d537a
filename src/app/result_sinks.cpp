// The sinks of a batch run's result images: the stand-ins that keep an image's failure
// while the others are written, and what a GeoTIFF result carries besides its pixels.
#include <algorithm>
#include <array>
#include <cstdio>

#include "app/run_parts.h"
#include "results/quicklook.h"

namespace run_parts {

namespace {

// Takes the rows of an image that could not be created, so that the other one is still
// written.
class NoSink final : public engine::RowSink {
  public:
    Status write(int, int, const unsigned char* const*) override { return {}; }
    Status commit() override { return Status::not_written({}); }
};

// One image of a run whose writing failed stops neither the treatment nor the other
// image: its first failure is kept and given back by commit(), which then writes
// nothing, so that the outputs that can be written whole still are, and the report and
// the summary still hold the whole map's figures.
class KeptFailureSink final : public engine::RowSink {
  public:
    explicit KeptFailureSink(std::unique_ptr<engine::RowSink> inner) : inner_(std::move(inner)) {
        name_ = inner_->name();
    }
    Status write(int y, int n, const unsigned char* const* rows) override {
        if (failed_.ok()) {
            failed_ = inner_->write(y, n, rows);
            // The temporary file goes at once: the room it takes may be what the other
            // image needs.
            if (!failed_.ok()) inner_.reset();
        }
        return {};
    }
    Status commit() override { return failed_.ok() ? inner_->commit() : failed_; }

  private:
    std::unique_ptr<engine::RowSink> inner_;
    Status failed_;
};

}  // namespace

std::unique_ptr<engine::RowSink> no_sink() { return std::make_unique<NoSink>(); }

std::unique_ptr<engine::RowSink> keeping_failure(std::unique_ptr<engine::RowSink> inner) {
    return std::make_unique<KeptFailureSink>(std::move(inner));
}

// The run's parameters, kept in the GeoTIFF results.
std::vector<std::pair<std::string, std::string>> run_metadata(const RunOutcome& out,
                                                              const RunRequest& req,
                                                              const metrics::Metric& metric) {
    const ResultKind kind =
        metric.id == metrics::Id::Diversity ? ResultKind::Diversity : ResultKind::Homogeneity;
    const Window& w = out.win;
    const WindowShape& shape = window_shape(req.window);
    auto num = [](double v) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.6g", v);
        return std::string(buf);
    };
    std::string value = metric.name() + ": " + metric.info().about;
    if (metric.id == metrics::Id::Share) value += std::to_string(metric.code);
    std::vector<std::pair<std::string, std::string>> md = {
        {"LANDMOSAIC_MAP", out.run.nom_lect},
        {"LANDMOSAIC_VALUE", value},
        {"LANDMOSAIC_WINDOW", shape.name},
        {"LANDMOSAIC_RANK", std::to_string(out.run.range_win)},
        {"LANDMOSAIC_WINDOW_PIXELS", std::to_string(shape.mask ? w.num_pix_circ : w.surf_tot)},
        {"LANDMOSAIC_WINDOW_HA", num(w.surf_win)},
        {"LANDMOSAIC_PIXEL_SIZE", num(out.dpix_size)},
        {"LANDMOSAIC_MESH_LINES", req.mesh_lines && kind == ResultKind::Diversity ? "yes" : "no"},
        {"LANDMOSAIC_NO_VALUE", metric.type() == metrics::Type::Real ? "-1" : "255"},
    };
    if (req.min_valid > 0) md.push_back({"LANDMOSAIC_MIN_VALID", num(req.min_valid)});
    return md;
}

// The GeoTIFF kind of a metric's image: its data type, colours and no-value mark.
ResultKind result_kind(const metrics::Metric& m) {
    switch (m.id) {
        case metrics::Id::Diversity:
            return ResultKind::Diversity;
        case metrics::Id::Homogeneity:
            return ResultKind::Homogeneity;
        case metrics::Id::Dominant:
            return ResultKind::Dominant;
        case metrics::Id::Share:
            return ResultKind::Share;
        default:
            return ResultKind::Real;
    }
}

// How a metric's GeoTIFF band is laid out: the request's creation options and layout, and
// the colours of the quicklooks, one entry per value the band can hold (the diversity up
// to the number of classes, percents up to 100), with a description and a unit.
GeoTiffLayout geotiff_layout(const RunRequest& req, const metrics::Metric& m,
                             const Inventory& inv) {
    GeoTiffLayout layout;
    layout.creation_options = req.creation_options;
    layout.cog = req.cog;
    auto entry = [](Rgba c) { return std::array<short, 4>{c.r, c.g, c.b, c.a}; };
    switch (m.id) {
        case metrics::Id::Diversity: {
            const int classes = std::clamp(inv.num_item, 0, 254);
            for (int v = 0; v <= classes; ++v)
                layout.colours.push_back(entry(diversity_colour(v, classes)));
            // Assigned as strings: GCC 12 warns falsely (-Wrestrict) on a literal here.
            layout.unit = std::string("classes");
            break;
        }
        case metrics::Id::Homogeneity:
        case metrics::Id::Share:
            for (int v = 0; v <= 100; ++v) layout.colours.push_back(entry(homogeneity_colour(v)));
            layout.unit = std::string("%");
            break;
        default:
            break;
    }
    return layout;
}

}  // namespace run_parts
