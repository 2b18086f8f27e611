// TEp3: the engine. It owns the command queue and the programmer's identity
// and offers every hardware primitive the algorithm forms use: supply levels,
// routing of VPP, VCC, ground and clock, pin levels, latches, registers, port
// mode, pin options, single-byte reads, reset and power-off. Voltages are in
// millivolts; pins are socket pins 1..48, 0 meaning none or all off.
//
// It is headless: the status window ("Status  ") is a Qt view of this object.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "engine/options.h"
#include "engine/prompts.h"
#include "engine/usbqueue.h"

namespace quilla {

// The placement dialog, as the engine sees it.
class PlacementView {
public:
    virtual ~PlacementView() = default;
    virtual void ShowPlacementBitmap(const std::string& file) = 0;
    virtual int ShowPlacementDiagram(int firstRow, int pinCount, int orientation, int halfWidth) = 0;
};

// The status window ("Status  "), as the engine sees it: its output line
// Edit4 is repainted at once whenever the engine changes it.
class StatusView {
public:
    virtual ~StatusView() = default;
    virtual void Edit4Changed(const std::string& text) = 0;
};

extern const char* const OverCurrentMsg;

// The socket pins of the USB load test, one per load level.
inline constexpr std::array<int, 10> LoadTestPins{1, 5, 7, 9, 10, 11, 12, 26, 28, 29};

// Ground pin codes of the contact test beside the plain socket pins 1..48.
inline constexpr int GroundCode11And30 = 100;  // test supply on pins 11 (VPP) and 30 (VCC)
inline constexpr int GroundCode13 = 101;       // test supply on pin 13 (VCC)

// "%d.%d.%d.%d.%s" from a kernel release ("6.8.0-45-generic": 6, 8, 0, 45)
// and the system name with its version text.
std::string FormatOsInfo(const std::string& sysname, const std::string& release,
                         const std::string& version);

class TEp3 : public UsbLink {
public:
    TEp3(Prompts& prompts, Options& options, Transport* transport = nullptr)
        : UsbLink(transport), prompts_(prompts), options_(options) {}

    // ---- state -------------------------------------------------------------
    std::int16_t Connected = 0;
    std::string ProgrammerModel;  // at most 16 bytes, empty when none answered
    std::array<std::uint8_t, 256> BitReverse{};
    int ErrorFlag = 0;
    // The form whose work runs, or the main window, was closed: waits for the
    // next chip end at once.
    bool StopRequested = false;
    std::string ProgramDir;       // ends with '/'; design files under ProgramDir + "BLib/"
    std::string Edit4;            // status window output line
    PlacementView* Placement = nullptr;
    StatusView* StatusWin = nullptr;  // the status window, when one is shown

    Prompts& prompts() { return prompts_; }
    Options& options() { return options_; }

    // Sets ProgrammerModel from up to 16 identification bytes (cut at the first NUL).
    void SetModelFromReply(const std::uint8_t* bytes);
    bool IsModel(const char* word) const { return ProgrammerModel.rfind(word, 0) == 0; }

    // ---- primitives ----------------------------------------------------------
    void SysCmd(std::uint8_t s, std::uint8_t v);
    // Refuses (std::out_of_range) a level outside 0..MaxVppMillivolts.
    void SetVpp(int mV);
    static constexpr int MaxVppMillivolts = 25500;
    void SetVcc(int mV);
    int VppPin(int pin);
    void VppPinOff(int pin);
    int VccPin(int pin);
    void GndPin(int pin);
    void ClockPin(int pin);
    int VppSupplyPin(int pin);
    void SetPortMode(int mode);
    void SetPinOption(int pin, int flag);
    void PinHigh(int pin);
    void PinLow(int pin);
    void SetPin(int flag, int pin);
    void SetAllPins(int flag);
    void WriteLatch(int k, int v);
    void WriteReg(int r, int v);
    void ControlLineLow(int n) { WriteReg(proto::RegControlLines, n); }
    void ControlLineHigh(int n) { WriteReg(proto::RegControlLines, n | proto::LineHighBit); }
    void SetReg29(int n) { WriteReg(proto::RegEm78Lines, n); }
    void SetReg29Flag(int n) { WriteReg(proto::RegEm78Lines, n | proto::LineHighBit); }
    void QueueOp53(int a, int b);
    void QueueOp54(int a);
    void WriteCommandPair(int a, int b);
    std::uint8_t ReadByteCmd(std::uint8_t captureOp);
    std::uint8_t ReadPinState(int pin);
    // The electronic ID of a 28/32-pin memory seated in the socket (12.5 V on
    // A9): manufacturer and device byte into mfr and dev (the reply also stays in
    // UsbReplyBuf). Not connected: the pins are reset and nothing is read (false).
    bool ReadMfgId(std::uint8_t& mfr, std::uint8_t& dev);
    void ResetPins();
    void InitBitReverse();
    void PowerOff();
    // What one form leaves on must not reach the next: supplies and their
    // routing, the clock, the ground, every pin option still on, the port
    // mode; every pin is then driven low, as at start-up (the next design load
    // lets them go). The dispatch runs it before a form of another class is
    // set up (and before the simulated programmer seats its chip).
    void ReleaseOutputs();
    void ShowPlacementBitmap(const std::string& file);
    int ShowPlacementDiagram(int firstRow, int pinCount, int orientation, int halfWidth);

    // ---- design loading --------------------------------------------------------
    // Streams ProgramDir + "BLib/" + name to the FPGA (nothing when not connected
    // or on a vex310). A missing file switches the supplies off and ends the
    // program with "缺文件(bit)!".
    void LoadBitFile(const std::string& name);

    // ---- checks ------------------------------------------------------------------
    // Contact test: 1 good (or skipped), 2 bad pins and the user chose to go on,
    // 0 abort. gnd: socket pin 1..48 or GroundCode11And30 / GroundCode13. Masks:
    // bit k-1 of lo = pin k (1..32), bit k-33 of hi = pin k (33..48).
    int CheckPinContact(int gnd, int unused1, std::uint32_t lo, std::uint32_t hi, int unused2);
    // The contact test itself, whatever the options' switches say: a form's
    // check that a chip is in the socket at all. Same results and messages;
    // masks of 0 pass. Not on the vex310, which has no contact test.
    int TestPinContact(int gnd, std::uint32_t lo, std::uint32_t hi);
    // 1 no over-current; 0 fault (VPP and VCC already unrouted).
    int ReadCurrentOk();
    // ReadCurrentOk, reporting a fault (OverCurrentMsg, ErrorFlag := 1).
    int CheckCurrent();
    // Mass production: waits for the finished chip to go and the next to come.
    // 1 when a new chip sits in the socket, else 0 (also with mass production off,
    // and as soon as StopRequested is set, before the next contact poll).
    int WaitNextChip(int gnd, int unused1, std::uint32_t lo, std::uint32_t hi, int unused2);
    // The next-chip wait runs: the windows are served meanwhile, but the
    // programmer belongs to the waiting batch.
    bool WaitingForChip() const { return waitingForChip_; }

    // ---- status window buttons -------------------------------------------------
    void Button1Click();   // "OS Info.   "
    void typeClick();      // "Programmer"
    void Button2Click();   // "Test USB Load  "
    void SNClick();        // "序列码"
    // Identification text into Edit4 ("Link error.." on a short read, not fatal).
    // Returns 1 when the programmer answered with 64 bytes.
    int ReadProgrammerId();
    // One identification exchange: SysCmd(17, 0), 0x07, flush, one 64-byte read
    // into UsbReplyBuf that is not fatal. True when exactly 64 bytes came.
    bool IdentifyExchange();

    // ---- operations that do nothing -------------------------------------------
    void NullPrepare() {}
    int NullStatusRead(int) { return 0; }
    void NullControlWrite(int) {}
    int NullDataRead() { return 0; }
    int NullByteRead() { return 0; }
    void NullCountHint(int) {}
    void NullModeHint(int) {}
    void TimingHint(int) {}
    void ShutdownHook() {}
    int PinPairOk(int, int) { return 1; }
    void HostDelay(int) {}
    void ResetUserValue() {}

private:
    void SetEdit4(const std::string& text);
    void ShowPlain(const std::string& text);

    std::array<bool, 49> pinOptionOn_{};  // socket pins 1..48 with an option on
    bool waitingForChip_ = false;

    Prompts& prompts_;
    Options& options_;
};

}  // namespace quilla
