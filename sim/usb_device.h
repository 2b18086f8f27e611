// The simulated programmer as a device on the engine's virtual USB bus
// (`quilla --simulate`, and tests that go through the whole driver library).
//
// A detach injected into the simulator unplugs it from the bus at once, so the
// driver library sees a departure; ReattachSimulatedProgrammer plugs it in again.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/startup.h"
#include "engine/usb/virtual_bus.h"
#include "sim/programmer.h"

namespace quilla::sim {

// How the bus shows `programmer`: the ids, interface 0, a name, and present
// while no detach is injected.
usb::VirtualDeviceDescriptor DeviceDescriptor(const std::shared_ptr<Programmer>& programmer, std::uint16_t vendorId,
                                              std::uint16_t productId);

// Plugs `programmer` into the bus and ties its injected detach to an unplug.
// The bus must outlive the programmer's detach calls. `device`, when given, is
// what the bus talks to in its place (a test's tap in front of it).
std::uint32_t PlugProgrammer(usb::VirtualBus& bus, const std::shared_ptr<Programmer>& programmer,
                             std::uint16_t vendorId, std::uint16_t productId,
                             std::shared_ptr<Transport> device = nullptr);

// A fresh simulated programmer of opts.model, with its operator bringing
// opts.operatorChips chips per run (none when 0).
std::shared_ptr<Programmer> MakeLinkedProgrammer(const LinkOptions& opts);

// The start-up's SimulatedPlugger: a fresh simulated programmer of opts.model,
// with its operator as MakeLinkedProgrammer gives it.
std::shared_ptr<Transport> PlugSimulatedProgrammer(usb::VirtualBus& bus, const LinkOptions& opts,
                                                   std::uint16_t vendorId, std::uint16_t productId);

// Undoes an injected detach: the simulator answers again and arrives anew.
std::uint32_t ReattachSimulatedProgrammer(usb::VirtualBus& bus, const std::shared_ptr<Programmer>& programmer,
                                          std::uint16_t vendorId, std::uint16_t productId);

}  // namespace quilla::sim
