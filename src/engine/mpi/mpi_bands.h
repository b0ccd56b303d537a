// The band engine spread over the ranks of an MPI job.
//
// Rank k treats bands k, k + P, k + 2P, ... (P ranks), reading each band with its halo
// straight from the shared file system; an ASCII grid, which can only be read forward,
// is read by rank 0 alone and the rows of each band are sent to the rank that treats it.
// The inventory and the diversity histogram are summed over all ranks. Raw, bitmap and
// ASCII results are written by every rank with MPI-IO at the offsets the whole-image
// writers give its rows (for an ASCII grid, after the text of every band before), under
// temporary names that rank 0 renames to the final ones once every rank is done. Other
// results (GeoTIFF) are written by rank 0 alone through the single-process writer: every
// rank sends it the rows of its bands, which rank 0 writes in order, a row at a time.
// Rank 0's quicklooks of the images every rank writes are shown the rows of every band
// the same way. A failure on any rank is known to all, and leaves nothing under a final
// name.
//
// Every function here is collective: all ranks call it, in the same order.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/team.h"

namespace engine::mpi {

// MPI started for the life of the object (and finalised after). A memory allocation that
// fails on any rank then aborts the job with status 1.
class Session {
  public:
    Session(int& argc, char**& argv);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

// The ranks of MPI_COMM_WORLD as the team of a run.
class MpiTeam final : public Team {
  public:
    MpiTeam();
    int rank() const override { return rank_; }
    int size() const override { return size_; }
    bool all_ok(bool mine) override;
    Status agree(const Status& mine) override;
    int from_leader(int value) override;
    long long from_leader_ll(long long value) override;
    void share(MapInfo& info) override;
    void abort_all() override;
    Status take_inventory(RowSource* src, const BandPlan& plan, Inventory& inv,
                          const Progress& progress) override;
    std::unique_ptr<RowSink> make_sink(const formats::Format& format, const std::string& base,
                                       const MapInfo& info, Status& st) override;
    Status treat(RowSource* src, const Inventory& inv, const Window& win, const BandJob& job,
                 const BandPlan& plan, const std::vector<RowSink*>& sinks,
                 DiversityTotals& totals, const Progress& progress) override;

    // The peak resident memory of every rank in kB, on rank 0 (0 where the system does
    // not say).
    std::vector<long long> peak_memory();

  private:
    int rank_ = 0, size_ = 1;
    bool forward_only_ = false;  // the map is read by rank 0 alone
    MapInfo shared_;             // what rank 0 said of such a map
};

}  // namespace engine::mpi
