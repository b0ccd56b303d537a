// The band engine: a map treated a band of rows at a time, so that the memory a run
// takes depends on the map's width and the window, not on its number of rows.
//
// Every result pixel depends only on the map rows within R of it (for the cell mesh, on
// its row of cells), so the map is cut into bands of h rows: a moving window reads each
// band with R rows of halo above and below, the cell mesh reads bands of whole rows of
// cells with no halo. The rows of a band are held in a ring: the halo shared with the
// band before is kept by turning the row pointers, never copied. The scans of the
// whole-map path run on the band as on a small map, and the result rows of the band are
// handed to the sinks as soon as they are done. A map that fits the memory budget is
// one band.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/metrics.h"
#include "analysis/results.h"
#include "core/progress.h"
#include "core/rows.h"
#include "raster/map.h"
#include "window/window.h"

namespace engine {

// What a band treatment needs besides the map.
struct BandJob {
    int treat_type = 1;      // 0 cell mesh, 1 moving window
    int win_shape = 0;       // 0 square, 1 circle
    int range_win = 0;       // the rank R
    bool draw_mesh = false;  // the mesh lines drawn on the diversity image
    int threads = 0;         // workers of the scan, 0 for one per hardware thread
    // The metrics mapped, one result image each, in this order. Diversity then
    // homogeneity under the whole-window rule are the dialogue's scans; anything else
    // goes through the counts scan.
    std::vector<metrics::Metric> metrics = {{metrics::Id::Diversity}, {metrics::Id::Homogeneity}};
    metrics::Rule rule;
    // True when the counts scan makes the results.
    bool counts() const { return rule.on() || !metrics::is_default(metrics); }
    // Bytes of the result rows per pixel.
    int result_bytes() const;
};

struct BandPlan {
    int nb_lig = 0;
    int h = 0;     // rows per band (a multiple of the cell edge for the mesh, but the last)
    int halo = 0;  // rows above and below a band: R for a moving window, 0 for the mesh
    int bands = 0;
    int first_row(int b) const { return b * h; }
    int rows(int b) const {
        const long long left = static_cast<long long>(nb_lig) - static_cast<long long>(b) * h;
        return static_cast<int>(left < h ? left : h);
    }
};

// Bytes a band costs per row of the map width (ring, diversity and homogeneity rows), and
// the fixed part of a run (file buffers, scan tables).
inline constexpr long long kBytesPerBandCell = 3;

// Rows read from a source at once, at most, between two calls of the progress callback
// (a row at least): a few MB, so that a cancel is noticed within a fraction of a second
// however wide the map and however large its bands.
int rows_per_read(int nb_col);
long long fixed_bytes(int nb_col);

// The physical memory of the machine in bytes; 0 when the system does not say.
long long physical_memory();

// The bands of a map under a memory budget in bytes: the most rows whose band with its
// halo fits, at least one row (one row of cells for the mesh), all the map when it fits.
BandPlan plan_bands(int nb_lig, int nb_col, const BandJob& job, long long budget_bytes);
// The same with the band height given (h >= 1; rounded down to whole rows of cells for
// the mesh, at least one).
BandPlan plan_bands_of(int nb_lig, const BandJob& job, int h);

// Pass 1: the pixels per code of the whole map, read band by band, into inv.hist_explor,
// then the items. `progress` is given each band's last row.
Status take_inventory(RowSource& src, const BandPlan& plan, Inventory& inv,
                      const Progress& progress = {});

// What the result rows of one metric hold, summed over bands: a byte metric's pixels
// per value (255: no value); a real metric's pixels with a value, their sum in units of
// 2^-24 (exact, whatever the order of the bands) and their least and largest.
struct PlaneStats {
    std::int64_t histogram[256] = {};
    std::int64_t values = 0;
    std::int64_t sum_fixed = 0;
    double min = 0, max = 0;
    void add(const PlaneStats& o);
    double mean() const;
};

// The diversity histogram of result rows, summed over bands, with the statistics of
// every result image and the windows (cells) evaluated.
struct DiversityTotals {
    std::int64_t histo_div[260] = {};
    int max_histo = 0;
    std::vector<PlaneStats> planes;  // one per metric of the job
    metrics::ScanCounts windows;
    void add(const DiversityTotals& o);
};

// The statistics of n result rows of one metric.
PlaneStats plane_stats(metrics::Type type, const unsigned char* const* rows, int n, int nb_col);

// Treats the bands of a plan one after another, reading each from the source and keeping
// the halo rows it shares with the band before.
class BandTreatment {
  public:
    BandTreatment(const MapInfo& info, const Inventory& inv, const Window& win, const BandJob& job,
                  const BandPlan& plan);
    // Allocates the ring and the result rows; OutOfMemory when they cannot be had.
    Status allocate();
    // Reads what band b lacks, runs the scan on it, takes its histogram and draws the mesh
    // lines on its diversity rows. `progress` gets each centre row (top row of each row of
    // cells), as the whole-map scan reports them, with the map's lines; when it returns
    // false the scan stops and treat() returns Cancelled.
    Status treat(int b, RowSource& src, const Progress& progress = {});
    // The two halves of treat(): the rows of band b into the ring, then the scan. The
    // rows are read a few MB at a time, `progress` asked between reads (with the band's
    // first row), so that a cancel does not wait for a whole band to be read.
    Status load(int b, RowSource& src, const Progress& progress = {});
    // The next load reads all its rows from its source, keeping none from the band before.
    void forget_rows() { held_first_ = held_end_ = 0; }
    Status scan(const Progress& progress = {});
    // The result rows of the band last treated: rows [y0, y0 + n) of the map.
    int y0() const { return y0_; }
    int n() const { return n_; }
    const unsigned char* const* diversity_rows() const { return div_rows_; }
    const unsigned char* const* homogeneity_rows() const { return homo_rows_; }
    // The result rows of the job's metric p (rows of floats for a real metric).
    const unsigned char* const* rows(std::size_t p) const;
    std::size_t outputs() const { return job_.metrics.size(); }
    const DiversityTotals& totals() const { return totals_; }

  private:
    MapInfo info_;
    const Inventory& inv_;
    const Window& win_;
    BandJob job_;
    BandPlan plan_;
    LoadedMap view_;  // the ring, seen as a small map by the scans
    ByteGrid div_, homo_;
    int held_first_ = 0;  // map rows [held_first_, held_end_) held at ring positions 0..
    int held_end_ = 0;
    int y0_ = 0, n_ = 0;
    unsigned char* const* div_rows_ = nullptr;
    unsigned char* const* homo_rows_ = nullptr;
    DiversityTotals totals_;
    std::vector<metrics::Plane> planes_;     // the counts scan's results
    std::vector<std::vector<unsigned char>> plane_store_;
};

// Pass 2 on one process: every band in order, its rows handed to the sinks, one per
// metric of the job. `progress` is called on this thread in row order; false cancels.
Status treat_in_bands(RowSource& src, const Inventory& inv, const Window& win, const BandJob& job,
                      const BandPlan& plan, const std::vector<RowSink*>& sinks,
                      DiversityTotals& totals, const Progress& progress = {});
// The same with the two sinks of the default job.
Status treat_in_bands(RowSource& src, const Inventory& inv, const Window& win, const BandJob& job,
                      const BandPlan& plan, RowSink& diversity, RowSink& homogeneity,
                      DiversityTotals& totals, const Progress& progress = {});

// Lines of the m x m mesh (value 0) drawn on rows [y0, y0 + n) of a diversity image of
// nb_col columns: every row whose index is a multiple of m, and the columns that are.
void draw_mesh_rows(unsigned char* const* rows, int y0, int n, int nb_col, int range_win);

}  // namespace engine
