// The engine's checks: the contact test before an operation applies supplies,
// the over-current check after it has, the mass-production wait for the next
// chip, and the USB load test of the status window.
#include <cstdio>
#include <string>

#include "engine/ep3.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int SocketPins = 48;
constexpr int ContactBytes = 6;        // registers 22..27
constexpr int ListedBadPins = 11;      // the question names at most this many
constexpr int RemovalPolls = 300;
constexpr int InsertionPolls = 30;

// The mask bit of socket pin k (1..48).
bool Masked(int k, std::uint32_t lo, std::uint32_t hi) {
    return k <= 32 ? ((lo >> (k - 1)) & 1u) != 0 : ((hi >> (k - 33)) & 1u) != 0;
}

bool Touching(int k, const std::uint8_t* contact) {
    return ((contact[(k - 1) / 8] >> ((k - 1) % 8)) & 1u) != 0;
}

// Ground pins whose test supply comes from VPP rather than VCC.
bool TestSupplyOnVpp(int pin) {
    return pin == 10 || pin == 14 || pin == 15 || pin == 20 || pin == 31;
}

}  // namespace

int TEp3::CheckPinContact(int gnd, int, std::uint32_t lo, std::uint32_t hi, int) {
    if (IsModel("vex310")) return 1;
    if (!options_.MassProduction && !options_.ContactCheck) return 1;
    return TestPinContact(gnd, lo, hi);
}

int TEp3::TestPinContact(int gnd, std::uint32_t lo, std::uint32_t hi) {
    if (lo == 0 && hi == 0) return 1;

    // Everything off, contact mode on.
    GndPin(0);
    VppPin(0);
    VccPin(0);
    UsbPut1(OpWaitSettle);
    WriteReg(RegContactEnable, ContactEnableOn);
    UsbFlush();
    WriteReg(RegContactMode, ContactModeOn);
    UsbFlush();

    // The test supply goes to the ground pin, at whatever level it has.
    if (gnd == GroundCode11And30) {
        VppPin(11);
        VccPin(30);
    } else if (gnd == GroundCode13) {
        VccPin(13);
    } else if (TestSupplyOnVpp(gnd)) {
        VppPin(gnd);
    } else {
        VccPin(gnd);
    }
    UsbFlush();
    UsbPut1(OpWaitSettle);

    for (int i = 0; i < 9; ++i) UsbReplyBuf[static_cast<std::size_t>(i)] = 0;
    for (int r = RegContactFirst; r <= RegContactLast; ++r) UsbPut2(OpReadReg, static_cast<std::uint8_t>(r));
    UsbReadReply();
    std::uint8_t contact[ContactBytes];
    for (int j = 0; j < ContactBytes; ++j) contact[j] = UsbReplyBuf[static_cast<std::size_t>(j)];

    // Restore; the ground code goes back unchanged (100 and 101 included).
    VppPin(0);
    VccPin(0);
    WriteReg(RegContactMode, 0);
    UsbFlush();
    WriteReg(RegContactEnable, 0);
    GndPin(gnd);
    UsbPut1(OpWaitSettle);
    UsbFlush();

    std::string shown;
    for (int j = ContactBytes - 1; j >= 0; --j) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%02x ", contact[j]);
        shown += hex;
    }
    SetEdit4(shown);

    std::string list;
    int bad = 0;
    bool anyOtherTouching = false;
    for (int k = 1; k <= SocketPins; ++k) {
        if (!Masked(k, lo, hi)) continue;
        if (Touching(k, contact)) {
            if (k != gnd) anyOtherTouching = true;
            continue;
        }
        ++bad;
        if (bad <= ListedBadPins) {
            list += std::to_string(k) + ", ";
            if (bad == ListedBadPins) list += "...";
        }
    }

    if (bad == 0) {
        ErrorFlag = 0;
        return 1;
    }
    if (options_.MassProduction) {
        ErrorFlag = 1;
        return 0;
    }
    if (!anyOtherTouching) {
        ShowPlain("没有OK..安放器件！\n或者USB接口5V电流太小!");
        ErrorFlag = 1;
        return 0;
    }
    if (prompts_.AskYesCancel("有如下插脚接触不良(锁紧插座的编号):\n" + list +
                              "\n\n要继续按Yes,要取消按Cancel"))
        return 2;
    ErrorFlag = 1;
    return 0;
}

int TEp3::ReadCurrentOk() {
    UsbPut1(OpWait1ms);
    SysCmd(SysOverCurrent, 0);
    const int ok = UsbReadReply() & 1;
    if (ok == 0) {
        VppPin(0);
        VccPin(0);
    }
    return ok;
}

int TEp3::CheckCurrent() {
    if (ReadCurrentOk() == 1) return 1;
    ShowPlain(OverCurrentMsg);
    ErrorFlag = 1;
    return 0;
}

int TEp3::WaitNextChip(int gnd, int unused1, std::uint32_t lo, std::uint32_t hi, int unused2) {
    if (!options_.MassProduction) return 0;
    struct Waiting {
        bool& flag;
        explicit Waiting(bool& f) : flag(f) { flag = true; }
        ~Waiting() { flag = false; }
    } waiting(waitingForChip_);

    // The prompt lets the user act meanwhile; closing the form stops the wait.
    auto stopped = [this] {
        if (!StopRequested) return false;
        prompts_.CloseChipPrompt();
        UsbFlush();
        return true;
    };
    bool removed = false;
    for (int poll = 0; poll < RemovalPolls && !removed; ++poll) {
        prompts_.SetChipPromptCaption("");
        prompts_.ShowChipPrompt("  OK,请取走写好的器件");
        if (stopped()) return 0;
        UsbPut1(OpWait100ms);
        UsbFlush();
        removed = CheckPinContact(gnd, unused1, lo, hi, unused2) == 0;
    }
    if (!removed) {
        prompts_.CloseChipPrompt();
        return 0;
    }

    bool placed = false;
    for (int poll = 0; poll < InsertionPolls && !placed; ++poll) {
        prompts_.ShowChipPrompt("  放置下一片...");
        prompts_.SetChipPromptCaption("5秒后不放器件将Exit操作");
        if (stopped()) return 0;
        UsbPut1(OpWait100ms);
        UsbFlush();
        placed = CheckPinContact(gnd, unused1, lo, hi, unused2) != 0;
    }
    prompts_.CloseChipPrompt();
    return placed ? 1 : 0;
}

void TEp3::Button2Click() {
    if (!prompts_.AskYesCancel("确认插座上无器件,\n\n然后再按'Yes'")) return;

    LoadBitFile("vex300.bit");
    WriteReg(RegContactMode, 0);
    SetPortMode(PortModeReset);
    GndPin(0);
    VccPin(0);
    VppPin(0);
    VppSupplyPin(0);
    SetAllPins(0);
    UsbPut1(OpWait100ms);
    SetVpp(16000);
    UsbPut1(OpWait100ms);

    int passed = 0;
    for (int i = 0; i < static_cast<int>(LoadTestPins.size()); ++i) {
        const int pin = LoadTestPins[static_cast<std::size_t>(i)];
        VppPin(pin);
        PinLow(pin);
        UsbPut1(OpWait100ms);
        UsbFlush();
        SetEdit4(std::to_string(i));
        if (ReadCurrentOk() == 0) break;
        ++passed;
    }
    SetEdit4(std::to_string(passed) + (passed >= 5 ? "级，OK" : "级，PC机USB接口5V驱动电流不足!"));

    SetVpp(0);
    VppPin(0);
    prompts_.Beep();
}

}  // namespace quilla
