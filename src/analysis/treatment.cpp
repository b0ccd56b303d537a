#include "analysis/treatment.h"

void treatment(Console&, const RunAnswers&, const LoadedMap&, Inventory&, const Window&,
               Results&) {}
