// The kernels without Highway: one portable path.
#include <cstdlib>

#include "analysis/kernels/kernels.h"
#include "analysis/kernels/portable.h"

namespace kernels {

std::vector<std::string> available_targets() {
    return {"portable"};
}

bool use_target(const std::string& name) {
    return name.empty() || name == "portable";
}

std::string current_target() {
    return "portable";
}

std::size_t count_lanes(std::size_t) {
    return 1;
}

std::size_t byte_lanes() {
    return 1;
}

void square_row(const std::uint16_t* counts, std::size_t stride, std::size_t centres,
                std::size_t m, std::uint16_t* sums, std::uint16_t* div, std::uint32_t* largest,
                std::uint32_t* blank) {
    portable::square_row(counts, stride, centres, m, sums, div, largest, blank);
}

void square_row(const std::uint32_t* counts, std::size_t stride, std::size_t centres,
                std::size_t m, std::uint32_t* sums, std::uint16_t* div, std::uint32_t* largest,
                std::uint32_t* blank) {
    portable::square_row(counts, stride, centres, m, sums, div, largest, blank);
}

void square_stats(const SquareStats<std::uint16_t>& s) {
    portable::square_stats(s);
}

void square_stats(const SquareStats<std::uint32_t>& s) {
    portable::square_stats(s);
}

void step_down(const StepDown& s) {
    portable::step_down(s);
}

void class_sums(const ClassSums& s) {
    portable::class_sums(s, 0, s.count);
}

void percent_row(const std::uint32_t* part, const std::uint32_t* whole, std::size_t count,
                 unsigned char* out) {
    portable::percent_row(part, whole, 0, count, out);
}

void real_row(const RealRow& r) {
    portable::real_row(r);
}

}  // namespace kernels
