// Bringing the programmer up at start: the choice between the real programmer
// (libusb) and the simulated one (virtual bus), the driver check, the
// connection, the identification of the model, the default design and every
// output off. Runs once, on the GUI thread, right after the engine is built.
//
//   LinkOptions opts = ParseStartOptions(argc, argv);      // may exit(2)
//   auto conn = StartProgrammer(wb.Ep3, opts, usb::PlugSimulatedProgrammer);
//   // conn must outlive every use of wb.Ep3's link.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/ep3.h"
#include "engine/transport.h"
#include "engine/usb/glue.h"
#include "engine/usb/virtual_bus.h"

namespace quilla {

inline constexpr const char* DefaultSimulatedModel = "vex520";
inline constexpr const char* DefaultDesign = "vex300.bit";

struct LinkOptions {
    bool simulate = false;
    std::string model = DefaultSimulatedModel;  // the simulated model
    // How long the connection waits for the programmer to arrive.
    std::chrono::milliseconds attachWait = usb::AttachWaitDefault;
};

extern const char* const StartUsage;

// --simulate[=MODEL] or QUILLA_SIMULATE=MODEL (the option wins; vex520 when
// no model is named). Other arguments are left to the toolkit. An unknown
// model prints the usage on standard error and ends the program with status 2.
LinkOptions ParseStartOptions(int argc, char** argv);
// The same without ending: nullopt and `error` for an unknown model. `env` is
// the value of QUILLA_SIMULATE (null when unset).
std::optional<LinkOptions> TryParseStartOptions(int argc, char** argv, const char* env,
                                                 std::string* error);
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

// Hosts the simulated programmer of `model` on the bus with the given ids;
// returns the device (usb::PlugSimulatedProgrammer in
// engine/usb/simulated_programmer.h).
using SimulatedPlugger = std::function<std::shared_ptr<Transport>(
    usb::VirtualBus& bus, const std::string& model, std::uint16_t vendorId,
    std::uint16_t productId)>;

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

// Builds the link (virtual bus with the simulated programmer when
// opts.simulate, else libusb with the programmer's ids), makes it the engine's
// transport and runs ConnectProgrammer (the driver check only for libusb).
std::unique_ptr<ProgrammerConnection> StartProgrammer(TEp3& ep3, const LinkOptions& opts,
                                                      const SimulatedPlugger& plugSimulated);

}  // namespace quilla
