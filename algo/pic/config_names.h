// Captions of the configuration bit boxes of the PIC flash forms. One form
// serves parts whose configuration words name their bits differently, so the
// sixteen box captions come from the device line: its cfg= value picks a set
// (0 to 9; any other value picks set 0), and each form has its own index from
// cfg= to the caption columns of one shared library. A set a form does not
// fill has sixteen empty captions.
#pragma once

#include <array>
#include <string>

namespace quilla {

using ConfigCaptions = std::array<std::string, 16>;  // caption k: box k + 1, bit k

// The forms with captioned configuration boxes.
enum class ConfigNameForm { P16fEEx, P16fx, P16f87xa1, P16f628a1, P12fxxx };

// The captions of set `cfg` for a form (cfg outside 0 to 9: set 0).
const ConfigCaptions& ConfigBitNames(ConfigNameForm form, int cfg);

}  // namespace quilla
