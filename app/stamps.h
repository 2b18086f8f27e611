// Serial-number and date stamps written into the image after each clean pass.
#pragma once

namespace quilla {

struct Workbench;

// Writes the ticked stamps of the options into the image.
void ApplyStamps(Workbench& wb);

}  // namespace quilla
