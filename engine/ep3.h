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

extern const char* const OverCurrentMsg;

class TEp3 : public UsbLink {
public:
    TEp3(Prompts& prompts, Options& options, Transport* transport = nullptr)
        : UsbLink(transport), prompts_(prompts), options_(options) {}

    // ---- state -------------------------------------------------------------
    std::int16_t Connected = 0;
    std::string ProgrammerModel;  // at most 16 bytes, empty when none answered
    std::array<std::uint8_t, 256> BitReverse{};
    int ErrorFlag = 0;
    std::string ProgramDir;       // ends with '/'; design files under ProgramDir + "BLib/"
    std::string Edit4;            // status window output line
    PlacementView* Placement = nullptr;

    Prompts& prompts() { return prompts_; }
    Options& options() { return options_; }

    // Sets ProgrammerModel from up to 16 identification bytes (cut at the first NUL).
    void SetModelFromReply(const std::uint8_t* bytes);
    bool IsModel(const char* word) const { return ProgrammerModel.rfind(word, 0) == 0; }

    // ---- primitives ----------------------------------------------------------
    void SysCmd(std::uint8_t s, std::uint8_t v);
    void SetVpp(int mV);
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
    void ResetPins();
    void InitBitReverse();
    void PowerOff();
    void ShowPlacementBitmap(const std::string& file);
    int ShowPlacementDiagram(int firstRow, int pinCount, int orientation, int halfWidth);

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
    Prompts& prompts_;
    Options& options_;
};

}  // namespace quilla
