// The chip models the simulated programmer has, by part name: one line per part
// (or one loop over a family's parameter table).
#include "sim/chip.h"
#include "sim/chips/avr.h"
#include "sim/chips/eeprom.h"
#include "sim/chips/at89.h"
#include "sim/chips/w78.h"
#include "sim/chips/eprom51.h"
#include "sim/chips/p89.h"
#include "sim/chips/eprom.h"
#include "sim/chips/flash51.h"
#include "sim/chips/pin51.h"
#include "sim/chips/msu2964.h"
#include "sim/chips/c2051.h"
#include "sim/chips/lpc76x.h"
#include "sim/chips/em78.h"
#include "sim/chips/mdt.h"
#include "sim/chips/pic16c5x.h"
#include "sim/chips/pic17.h"
#include "sim/chips/cr80.h"
#include "sim/chips/holtek.h"
#include "sim/chips/lpc9xx.h"
#include "sim/chips/g22v10.h"
#include "sim/chips/gal.h"
#include "sim/chips/i2c.h"
#include "sim/chips/spi25.h"
#include "sim/chips/microwire.h"
#include "sim/chips/pic12.h"
#include "sim/chips/pic14.h"
#include "sim/chips/pic18.h"
#include "sim/chips/fwh.h"
#include "sim/chips/jedec.h"
#include "sim/chips/intel_block.h"
#include "sim/chips/flash28.h"
#include "sim/chips/eprom16.h"
#include "sim/chips/mx_page.h"
#include "sim/chips/logic.h"
#include "sim/chips/sram.h"
#include "sim/chips/xc9500xl.h"

namespace quilla::sim {

void RegisterBuiltinChips(ChipRegistry& registry) {
    RegisterEproms(registry);
    RegisterAt89(registry);
    RegisterFlash51(registry);
    RegisterPin51(registry);
    RegisterCounter51(registry);
    RegisterLpc76x(registry);
    RegisterLpc9xx(registry);
    registry.Add("MSU2964", [] { return SeatedPart{std::make_unique<Msu2964Chip>(), Placement::Dip(40)}; });
    RegisterW78(registry);
    RegisterEprom51(registry);
    RegisterP89(registry);
    RegisterMicrowireParts(registry);
    RegisterAvrs(registry);
    RegisterPic14(registry);
    RegisterPic18(registry);
    RegisterPic12(registry);
    RegisterEm78(registry);
    RegisterMdt(registry);
    RegisterPic16c5x(registry);
    RegisterPic17(registry);
    RegisterCr80(registry);
    RegisterHoltek(registry);
    RegisterFwhFlash(registry);
    RegisterGalParts(registry);
    RegisterG22v10Parts(registry);
    RegisterEeproms(registry);
    RegisterJedecFlash(registry);
    RegisterIntelBlockFlash(registry);
    RegisterFlash28(registry);
    RegisterEprom16(registry);
    RegisterPageFlash(registry);
    RegisterI2cParts(registry);
    RegisterSrams(registry);
    RegisterLogicChips(registry);
    RegisterXc9500xl(registry);
    RegisterSpi25Parts(registry);
}

}  // namespace quilla::sim
