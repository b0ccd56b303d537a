// Progress of a stage over the rows of a map, the one progress type of every stage and
// front end: called on the calling thread, in row order, with the row reached and the
// number of rows. Returning false asks the stage to stop: it returns the fault
// Cancelled as soon as it can, and a run that is cancelled writes no result file.
#pragma once

#include <functional>

using Progress = std::function<bool(int row, int rows)>;
