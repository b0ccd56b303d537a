#include "engine/team.h"

namespace engine {

Status Team::take_inventory(RowSource* src, const BandPlan& plan, Inventory& inv,
                            const Progress& progress) {
    Status st = engine::take_inventory(*src, plan, inv, progress);
    if (st.ok()) st = src->restart();
    return st;
}

std::unique_ptr<RowSink> Team::make_sink(const formats::Format& format, const std::string& base,
                                         const MapInfo& info, Status& st) {
    return format.make_sink(base, info, st);
}

Status Team::treat(RowSource* src, const Inventory& inv, const Window& win, const BandJob& job,
                   const BandPlan& plan, const std::vector<RowSink*>& sinks,
                   DiversityTotals& totals, const Progress& progress) {
    return treat_in_bands(*src, inv, win, job, plan, sinks, totals, progress);
}

}  // namespace engine
