// Bringing the programmer up at start: the choice between the real programmer
// (libusb) and the simulated one (virtual bus), the driver check, the
// connection, the identification of the model, the default design and every
// output off. Runs once, on the GUI thread, right after the engine is built.
//
//   LinkOptions opts;   // from the command line (app/commandline.h)
//   auto conn = StartProgrammer(wb.Ep3, opts);  // the real programmer
//   (--simulate: simulate/session.h plugs the simulated one in)
//   // conn must outlive every use of wb.Ep3's link.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/ep3.h"
#include "engine/transport.h"
#include "engine/usb/glue.h"
#include "engine/usb/virtual_bus.h"

namespace quilla {

inline constexpr const char* DefaultSimulatedModel = "vex520";
inline constexpr const char* DefaultDesign = "vex300.bit";
// The chips the simulated operator brings per run unless QUILLA_SIM_OPERATOR says otherwise.
inline constexpr int DefaultOperatorChips = 5;

struct LinkOptions {
    bool simulate = false;
    std::string model = DefaultSimulatedModel;  // the simulated model
    // The simulated programmer's operator takes finished chips out and puts
    // fresh ones in during mass production, this many per run; 0: no operator.
    int operatorChips = DefaultOperatorChips;
    // How long the connection waits for the programmer to arrive.
    std::chrono::milliseconds attachWait = usb::AttachWaitDefault;
};

// vex310, vex420, vex520 or vex640.
bool IsKnownModel(const std::string& model);

// The Linux driver check: 1 when libusb cannot start, 2 when it is too old
// (no hotplug support), 0 otherwise.
int CheckDriverVersion();

// The connection sequence on an engine whose link is `link` (the engine's
// transport must be `link`). `driverCheck` is CheckDriverVersion's result, or
// -1 when no check applies (virtual bus).
//   1: asks "没有加载驱动程序，是否现在加载?"; Yes shows how to install the
//      library and the udev rule, then "请Exit软件，重新运行Quilla!" and exit 1;
//      Cancel goes on (and the link then fails: "不能打开设备!").
//   2: "USB设备驱动程序版本太低！(>=Ver 6.03)", exit 1.
// Then OpenProgrammer, five identification tries, the model check,
// LoadBitFile("vex300.bit") and every output off.
void ConnectProgrammer(TEp3& ep3, usb::ProgrammerLink& link, int driverCheck);

// Hosts the simulated programmer that `opts` describe on the bus with the
// given ids; returns the device (the simulator's sim::PlugSimulatedProgrammer).
using SimulatedPlugger = std::function<std::shared_ptr<Transport>(
    usb::VirtualBus& bus, const LinkOptions& opts, std::uint16_t vendorId, std::uint16_t productId)>;

// What start-up built: the low-level driver, the glue the engine talks
// through, and for --simulate the virtual bus and the simulated programmer.
class ProgrammerConnection {
public:
    ~ProgrammerConnection();
    usb::ProgrammerLink& Link() { return *link_; }
    usb::VirtualBus* Bus() { return bus_; }              // null on real hardware
    std::shared_ptr<Transport> Simulated() { return simulated_; }  // null on real hardware

private:
    friend std::unique_ptr<ProgrammerConnection> StartProgrammer(TEp3&, const LinkOptions&,
                                                                 const SimulatedPlugger&);
    std::unique_ptr<usb::LowLevelDriver> driver_;
    usb::VirtualBus* bus_ = nullptr;
    std::shared_ptr<Transport> simulated_;
    std::unique_ptr<usb::ProgrammerLink> link_;
};

// Builds the link (virtual bus with the simulated programmer that
// `plugSimulated` plugs in when opts.simulate, else libusb with the
// programmer's ids: the real programmer needs no plugger), makes it the
// engine's transport and runs ConnectProgrammer (the driver check only for
// libusb).
std::unique_ptr<ProgrammerConnection> StartProgrammer(TEp3& ep3, const LinkOptions& opts,
                                                      const SimulatedPlugger& plugSimulated = {});

}  // namespace quilla
