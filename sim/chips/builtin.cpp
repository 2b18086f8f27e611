// The chip models the simulated programmer has, by part name: one line per part
// (or one loop over a family's parameter table).
#include "sim/chip.h"
#include "sim/chips/avr.h"
#include "sim/chips/eprom.h"
#include "sim/chips/microwire.h"

namespace quilla::sim {

void RegisterBuiltinChips(ChipRegistry& registry) {
    RegisterEproms(registry);
    RegisterMicrowireParts(registry);
    RegisterAvrs(registry);
}

}  // namespace quilla::sim
