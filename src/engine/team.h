// The processes one run is shared among: a single process by default, or the ranks of an
// MPI job (engine/mpi). The run steps call the team at the points where the processes
// must meet: opening the map, the inventory, the result files and the treatment.
//
// Under a team of several processes every call here is collective: each process makes
// it, in the same order. Process 0 leads: it alone writes the report, prints and reports
// progress; the others treat their share of the bands.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/bands.h"
#include "formats/format.h"

namespace engine {

class Team {
  public:
    virtual ~Team() = default;
    virtual int rank() const { return 0; }
    virtual int size() const { return 1; }
    bool leads() const { return rank() == 0; }

    // True on every process when `mine` holds on every process.
    virtual bool all_ok(bool mine) { return mine; }
    // The fault of the process that failed (the most serious one), on every process.
    virtual Status agree(const Status& mine) { return mine; }
    // The leader's `value`, on every process.
    virtual int from_leader(int value) { return value; }
    virtual long long from_leader_ll(long long value) { return value; }
    // The sizes and corner of a map that the leader alone reads, on every process.
    virtual void share(MapInfo&) {}
    // Ends every process at once with status 1, when one cannot go on with the others.
    virtual void abort_all() {}

    // Pass 1: the inventory of the whole map on every process, the source (null on a
    // process that does not read the map) then made ready for another pass. `progress`
    // runs on the leader; false cancels on every process.
    virtual Status take_inventory(RowSource* src, const BandPlan& plan, Inventory& inv,
                                  const Progress& progress = {});

    // The sink of a result image in one of the program's own formats (a row of the
    // format table that has a sink).
    virtual std::unique_ptr<RowSink> make_sink(const formats::Format& format,
                                               const std::string& base, const MapInfo& info,
                                               Status& st);

    // Pass 2: every band treated and its rows handed to the sinks, one per metric of the
    // job, in its order; on return `totals`
    // holds the histogram of the whole map on every process. Sinks the team made write
    // on every process; any other sink is written by the leader alone, with the rows of
    // every band in order. `progress` runs on the leader, in row order, and within their
    // bands on the other processes too (each may be told to stop: mpirun signals every
    // rank and kills them a second later); false on any process cancels on every one.
    virtual Status treat(RowSource* src, const Inventory& inv, const Window& win,
                         const BandJob& job, const BandPlan& plan,
                         const std::vector<RowSink*>& sinks, DiversityTotals& totals,
                         const Progress& progress);
};

}  // namespace engine
