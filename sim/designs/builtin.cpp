// The designs the simulated programmer implements: one line per design class.
#include "sim/design.h"
#include "sim/designs/chkpin.h"

namespace quilla::sim {

void RegisterBuiltinDesigns(DesignRegistry& registry) {
    registry.Add<ChkPinDesign>();
}

}  // namespace quilla::sim
