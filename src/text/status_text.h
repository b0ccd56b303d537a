// A stage's Status put into words, in one of the three languages.
#pragma once

#include <string>

#include "core/status.h"

// The message of `s` as the dialogue shows it: for a refused file the catalogue's
// "File %s refused: %s" line with the reason; otherwise its own message. `utf8`: the
// accented letters as UTF-8 rather than code page 850 bytes.
std::string status_text(const Status& s, int idiom, bool utf8);

// The reason or the message alone, without the layout of the dialogue (no leading tab
// or line feeds): one line for standard error.
std::string status_line(const Status& s, int idiom, bool utf8);
