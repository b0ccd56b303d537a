// `landmosaic summary BASE`: the summary page of an earlier run, made from its files.
#pragma once

// argv[0] is "summary", argv[1] the generic result name with its folder (or the report
// file itself). Prints the names written on standard output; 0 when all were written.
int summary_main(int argc, char** argv);
