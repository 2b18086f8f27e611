#include "app/stamps.h"

#include "app/workbench.h"

namespace quilla {

void ApplyStamps(Workbench&) {}

}  // namespace quilla
