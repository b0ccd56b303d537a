// The style sheet of the summary page: one page on screen, on a phone and on A4 paper.
#pragma once

namespace page {

const char* style();

}  // namespace page
