#include "engine/startup.h"

#include <cstring>

#include "engine/fatal.h"
#include "engine/usb/libusb_driver.h"

namespace quilla {

using namespace proto;

namespace {
const char* const KnownModels[] = {"vex310", "vex420", "vex520", "vex640"};
}

bool IsKnownModel(const std::string& model) {
    for (const char* m : KnownModels)
        if (model == m) return true;
    return false;
}

int CheckDriverVersion() { return usb::LibusbCheckDriverVersion(); }

namespace {

// The library or access is missing: say how to set it up, then end.
[[noreturn]] void InstallDriver(TEp3& ep3) {
    ep3.prompts().Message(usb::UsbSetupHelp, "Quilla", MsgKind::Information, BtnOk);
    FatalLinkEnd("请Exit软件，重新运行Quilla!", 1);
}

bool StartsWithModelWord(const std::uint8_t* reply) {
    for (const char* m : KnownModels)
        if (std::memcmp(reply, m, std::strlen(m)) == 0) return true;
    return false;
}

}  // namespace

void ConnectProgrammer(TEp3& ep3, usb::ProgrammerLink& link, int driverCheck) {
    ep3.Connected = 0;
    if (driverCheck == 1) {
        if (ep3.prompts().AskYesCancel("没有加载驱动程序，是否现在加载?")) InstallDriver(ep3);
    } else if (driverCheck == 2) {
        FatalLinkEnd("USB设备驱动程序版本太低！(>=Ver 6.03)", 1);
    }
    ep3.ProgrammerModel.clear();

    if (link.OpenProgrammer() == 0) {
        ep3.prompts().ShowMsg("不能打开设备!");
        return;
    }

    // Identification: five tries; a short answer here is not fatal.
    bool answered = false;
    for (int tryNo = 0; tryNo < 5 && !answered; ++tryNo) answered = ep3.IdentifyExchange();
    if (!answered) {
        ep3.prompts().ShowMsg("读设备Err.!");
        return;
    }
    if (!StartsWithModelWord(ep3.UsbReplyBuf.data())) {
        ep3.prompts().ShowMsg("错误的设备Type!");
        return;
    }

    ep3.Connected = 1;
    ep3.SetModelFromReply(ep3.UsbReplyBuf.data());
    ep3.LoadBitFile(DefaultDesign);

    // Every output off.
    ep3.SetVpp(0);
    ep3.SetVcc(0);
    ep3.VppPin(0);
    ep3.VccPin(0);
    ep3.ClockPin(0);
    ep3.GndPin(0);
    ep3.SetAllPins(0);
    ep3.SetPortMode(PortModeReset);
    ep3.UsbFlush();
}

ProgrammerConnection::~ProgrammerConnection() {
    // The glue (and its library with the event thread) goes before the driver.
    link_.reset();
    simulated_.reset();
    driver_.reset();
}

std::unique_ptr<ProgrammerConnection> StartProgrammer(TEp3& ep3, const LinkOptions& opts,
                                                      const SimulatedPlugger& plugSimulated) {
    auto conn = std::unique_ptr<ProgrammerConnection>(new ProgrammerConnection);
    std::uint16_t vid = 0, pid = 0;
    usb::ProgrammerUsbIds(vid, pid);
    int driverCheck = -1;
    if (opts.simulate) {
        auto bus = std::make_unique<usb::VirtualBus>();
        conn->bus_ = bus.get();
        if (plugSimulated) conn->simulated_ = plugSimulated(*bus, opts, vid, pid);
        conn->driver_ = std::move(bus);
    } else {
        driverCheck = CheckDriverVersion();
        conn->driver_ = std::make_unique<usb::LibusbDriver>();
    }
    conn->link_ = std::make_unique<usb::ProgrammerLink>(*conn->driver_, vid, pid);
    conn->link_->AttachWait = opts.attachWait;
    ep3.SetTransport(conn->link_.get());
    ConnectProgrammer(ep3, *conn->link_, driverCheck);
    return conn;
}

}  // namespace quilla
