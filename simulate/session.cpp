#include "simulate/session.h"

#include "app/workbench.h"
#include "catalog/typedlg.h"
#include "sim/usb_device.h"

namespace quilla {

std::string SimulatedPartOf(const std::string& deviceItem) { return deviceItem.substr(0, deviceItem.find(' ')); }

bool SeatForDevice(sim::Programmer& programmer, const std::string& deviceItem) {
    const std::string part = SimulatedPartOf(deviceItem);
    const sim::Chip* seated = programmer.GetChip();
    if (seated && seated->Name() == part) return true;
    if (programmer.SeatPart(part)) return true;
    if (seated) programmer.RemoveChipModel();
    return false;
}

void FollowOperations(Workbench& wb, const std::shared_ptr<sim::Programmer>& programmer) {
    std::weak_ptr<sim::Programmer> weak = programmer;
    wb.OperationStarts = [weak] {
        if (auto p = weak.lock()) p->StartOperatorRun();
    };
}

SimulatedSession StartSimulatedSession(Workbench& wb, TTypeDlg& dlg, const LinkOptions& opts,
                                       const SessionWrap& wrap) {
    SimulatedSession s;
    LinkOptions o = opts;
    o.simulate = true;
    auto plug = [&s, &wrap](usb::VirtualBus& bus, const LinkOptions& lo, std::uint16_t vid,
                            std::uint16_t pid) -> std::shared_ptr<Transport> {
        s.programmer = sim::MakeLinkedProgrammer(lo);
        sim::PlugProgrammer(bus, s.programmer, vid, pid, wrap ? wrap(s.programmer) : nullptr);
        return s.programmer;
    };
    s.connection = StartProgrammer(wb.Ep3, o, plug);
    std::weak_ptr<sim::Programmer> weak = s.programmer;
    dlg.BeforeDispatch = [weak](const std::string& device) {
        if (auto p = weak.lock()) SeatForDevice(*p, device);
    };
    FollowOperations(wb, s.programmer);
    return s;
}

}  // namespace quilla
