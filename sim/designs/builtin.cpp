// The designs the simulated programmer implements: one line per design class.
#include "sim/design.h"
#include "sim/designs/avrhv.h"
#include "sim/designs/avrhvsp.h"
#include "sim/designs/avrspi.h"
#include "sim/designs/adapter.h"
#include "sim/designs/at25spi.h"
#include "sim/designs/chkpin.h"
#include "sim/designs/cr80px00.h"
#include "sim/designs/holtek.h"
#include "sim/designs/em78.h"
#include "sim/designs/i2c24c.h"
#include "sim/designs/p93cxxx.h"
#include "sim/designs/pic_serial.h"
#include "sim/designs/pld22cv10.h"
#include "sim/designs/i82802.h"
#include "sim/designs/lp76x.h"
#include "sim/designs/p89lpc932.h"
#include "sim/designs/mcs51.h"
#include "sim/designs/mdt2000.h"
#include "sim/designs/pic16c5x.h"
#include "sim/designs/pic17.h"
#include "sim/designs/vex300.h"
#include "sim/designs/vex310fw.h"
#include "sim/designs/x28c.h"
#include "sim/designs/x5045.h"
#include "sim/designs/ictest.h"
#include "sim/designs/jtag1.h"

namespace quilla::sim {

void RegisterBuiltinDesigns(DesignRegistry& registry) {
    registry.Add<ChkPinDesign>();
    registry.Add<I2c24cDesign>();
    registry.Add<At25SpiDesign>();
    registry.Add<X5045Dip08Design>();
    registry.Add<X5045Dip14Design>();
    registry.Add<P93Design>();
    registry.Add<HubDesign>();
    RegisterAdapterDesigns(registry);
    registry.Add<Vex300Design>();
    registry.Add<Vex300At51Plcc44Design>();
    registry.Add<P51Dip40Design>();
    registry.Add<P51Plcc44Design>();
    registry.Add<Lp76xDesign>();
    registry.Add<P89lpc932Design>();
    registry.Add<Rs232Phi92xDesign>();
    registry.Add<Pld22cv10Design>();
    registry.Add<Vex310FirmwareDesign>();
    registry.Add<AtMega8Dip28Design>();
    registry.Add<At90s8515Dip40Design>();
    registry.Add<At90s8535Dip40Design>();
    registry.Add<At90s8515Plcc44Design>();
    registry.Add<At90s8535Plcc44Design>();
    registry.Add<At90s2323Design>();
    registry.Add<AtDip20SpiDesign>();
    registry.Add<AtMeg161SpiDesign>();
    registry.Add<Atiny12Design>();
    registry.Add<Atiny15Design>();
    RegisterPicSerialDesigns(registry);
    RegisterEm78Designs(registry);
    registry.Add<Mdt2000Design>();
    registry.Add<Pic16c54Dip18Design>();
    registry.Add<Pic16c57Dip28Design>();
    registry.Add<Pic17Dip40Design>();
    registry.Add<Cr80px00Design>();
    registry.Add<HoltekStdDesign>();
    registry.Add<Holtek2Design>();
    registry.Add<X28cDesign>();
    registry.Add<IcTestDesign>();
    registry.Add<Jtag1Design>();
}

}  // namespace quilla::sim
