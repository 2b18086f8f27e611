// The simulated programmer as a device on the virtual bus. Header-only: the
// simulator library sits above the engine, so only programs that link it (the
// Qt program, the tests) include this.
//
// A detach injected into the simulator unplugs it from the bus at once, so the
// driver library sees a departure; ReattachSimulatedProgrammer plugs it in again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/usb/virtual_bus.h"
#include "sim/programmer.h"

namespace quilla::usb {

inline VirtualDeviceDescriptor SimulatedProgrammerDescriptor(const std::shared_ptr<sim::Programmer>& programmer,
                                                 std::uint16_t vendorId, std::uint16_t productId) {
    VirtualDeviceDescriptor desc;
    desc.vendorId = vendorId;
    desc.productId = productId;
    desc.interfaces = {0};
    desc.name = "simulated " + programmer->Model().model;
    std::weak_ptr<sim::Programmer> weak = programmer;
    desc.present = [weak] {
        auto p = weak.lock();
        return p && p->Attached();
    };
    return desc;
}

// Plugs `programmer` into the bus and ties its injected detach to an unplug.
// The bus must outlive the programmer's detach calls.
inline std::uint32_t PlugProgrammer(VirtualBus& bus, const std::shared_ptr<sim::Programmer>& programmer,
                                    std::uint16_t vendorId, std::uint16_t productId) {
    const std::uint32_t port = bus.Plug(programmer, SimulatedProgrammerDescriptor(programmer, vendorId, productId));
    VirtualBus* b = &bus;
    programmer->SetDetachListener([b, port] { b->Unplug(port); });
    return port;
}

// The start-up's SimulatedPlugger: a fresh simulated programmer of `model`.
inline std::shared_ptr<Transport> PlugSimulatedProgrammer(VirtualBus& bus, const std::string& model,
                                                          std::uint16_t vendorId, std::uint16_t productId) {
    std::shared_ptr<sim::Programmer> programmer = sim::MakeSimulatedProgrammer(model);
    PlugProgrammer(bus, programmer, vendorId, productId);
    return programmer;
}

// Undoes an injected detach: the simulator answers again and arrives anew.
inline std::uint32_t ReattachSimulatedProgrammer(VirtualBus& bus,
                                                 const std::shared_ptr<sim::Programmer>& programmer,
                                                 std::uint16_t vendorId, std::uint16_t productId) {
    programmer->Reattach();
    return PlugProgrammer(bus, programmer, vendorId, productId);
}

}  // namespace quilla::usb
