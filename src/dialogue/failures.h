// Ending a run on a failure.
#pragma once

#include <initializer_list>

#include "core/status.h"
#include "dialogue/console.h"
#include "text/status_text.h"

// Prints the message in the run's language, waits for one key press and ends the run
// with exit status 1 (throws RunStop{1}).
[[noreturn]] void stop_run(Console& con, int idiom, const Text& message,
                           std::initializer_list<Arg> args = {});

// The same with the message of a stage's Status.
[[noreturn]] void stop_on(Console& con, int idiom, const Status& s);
