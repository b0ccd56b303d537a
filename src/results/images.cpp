#include "results/images.h"


std::string diversity_base(const RunAnswers& run) {
    return run.nomim3 + "_diversity";
}

std::string homogeneity_base(const RunAnswers& run) {
    return run.nomim3 + "_homog";
}
