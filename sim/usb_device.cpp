#include "sim/usb_device.h"

namespace quilla::sim {

usb::VirtualDeviceDescriptor DeviceDescriptor(const std::shared_ptr<Programmer>& programmer, std::uint16_t vendorId,
                                              std::uint16_t productId) {
    usb::VirtualDeviceDescriptor desc;
    desc.vendorId = vendorId;
    desc.productId = productId;
    desc.interfaces = {0};
    desc.name = "simulated " + programmer->Model().model;
    std::weak_ptr<Programmer> weak = programmer;
    desc.present = [weak] {
        auto p = weak.lock();
        return p && p->Attached();
    };
    return desc;
}

std::uint32_t PlugProgrammer(usb::VirtualBus& bus, const std::shared_ptr<Programmer>& programmer,
                             std::uint16_t vendorId, std::uint16_t productId, std::shared_ptr<Transport> device) {
    if (!device) device = programmer;
    const std::uint32_t port = bus.Plug(std::move(device), DeviceDescriptor(programmer, vendorId, productId));
    usb::VirtualBus* b = &bus;
    programmer->SetDetachListener([b, port] { b->Unplug(port); });
    return port;
}

std::shared_ptr<Programmer> MakeLinkedProgrammer(const LinkOptions& opts) {
    ModelConfig config = ModelConfig::For(opts.model);
    config.operatorChips = opts.operatorChips;
    return std::make_shared<Programmer>(std::move(config));
}

std::shared_ptr<Transport> PlugSimulatedProgrammer(usb::VirtualBus& bus, const LinkOptions& opts,
                                                   std::uint16_t vendorId, std::uint16_t productId) {
    auto programmer = MakeLinkedProgrammer(opts);
    PlugProgrammer(bus, programmer, vendorId, productId);
    return programmer;
}

std::uint32_t ReattachSimulatedProgrammer(usb::VirtualBus& bus, const std::shared_ptr<Programmer>& programmer,
                                          std::uint16_t vendorId, std::uint16_t productId) {
    programmer->Reattach();
    return PlugProgrammer(bus, programmer, vendorId, productId);
}

}  // namespace quilla::sim
