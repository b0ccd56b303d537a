#include "results/report.h"

bool Report::open(const std::string& nom_info) {
    f3 = std::fopen(nom_info.c_str(), "w");
    return f3 != nullptr;
}
void Report::write(const char*, std::initializer_list<Arg>) {}
bool Report::close() {
    if (f3) std::fclose(f3);
    f3 = nullptr;
    return !failed;
}
void write_report_body(Report&, const RunAnswers&, const LoadedMap&, const Inventory&,
                       const Window&) {}
