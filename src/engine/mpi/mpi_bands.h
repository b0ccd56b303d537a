// The band engine spread over the ranks of an MPI job.
//
// Rank k treats bands k, k + P, k + 2P, ... (P ranks), reading each band with its halo
// straight from the shared file system; an ASCII grid, which can only be read forward,
// is read by rank 0 alone and the rows of each band are sent to the rank that treats it.
// The inventory and the diversity histogram are summed over all ranks. Every rank writes
// its result rows into the result files with MPI-IO at the offsets the whole-image writers
// give them (for an ASCII grid, after the text of every band before), under temporary
// names that rank 0 renames to the final ones once every rank is done; a failure on any
// rank is known to all, and leaves nothing under a final name.
//
// Every function here is collective: all ranks call it, in the same order.
#pragma once

#include <memory>
#include <string>

#include "engine/bands.h"

namespace engine::mpi {

struct World {
    int rank = 0;
    int size = 1;
};

// MPI started for the life of the object (and finalised after).
class Session {
  public:
    Session(int& argc, char**& argv);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
    World world() const;
};

// The map as every rank sees it: its sizes on every rank, its rows where they are needed.
struct MapSpec {
    std::string name;  // the pixel file (".raw"), or the ".bmp" or ".asc" file
    int format = 0;    // 0 raw, 1 bitmap, 2 ASCII grid
    int nb_lig = 0;    // raw: from its header
    int nb_col = 0;
    double dpix_size = 0;
};

class DistributedMap {
  public:
    DistributedMap();
    ~DistributedMap();
    // Opens the map on the ranks that read it; the same status on every rank.
    Status open(const MapSpec& spec);
    const MapInfo& info() const { return info_; }

    // The inventory of the whole map, on every rank.
    Status take_inventory(const BandPlan& plan, Inventory& inv);

    // Treats every band and writes both result images under div_base and homo_base in
    // result format res_form. `info` is the map's, with the pixel size and corner the
    // results carry. On return `totals` holds the histogram of the whole map on every
    // rank, and the images that were written in full have their final names; their names
    // are in `div_name` and `homo_name` (empty for one that failed). `progress` runs on
    // rank 0 after each round of bands, with the last row done.
    Status treat(const Inventory& inv, const Window& win, const BandJob& job, const BandPlan& plan,
                 int res_form, const MapInfo& info, const std::string& div_base,
                 const std::string& homo_base, DiversityTotals& totals, std::string& div_name,
                 std::string& homo_name, const std::function<void(int row)>& progress = {});

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    MapInfo info_;
};

// The status of the rank that failed (the first of the most serious fault), on every rank.
Status agree(const Status& mine);

}  // namespace engine::mpi
