// JEDEC-command byte-program flash in the 32-pin socket position: every byte
// by AA 5555h, 55 2AAAh, A0 5555h and the data cycle, the chip erase by AA 55
// 80 AA 55 10. TP29fxxx (keyword P29F), TAMD29f040x (AMD29f040, with its own ID
// read), TAt49fx (AT49F), TMx29fxxx1 (MX29F), Tv29c51004x (V29C51004) and
// Tsst29xf1 (SST29XF) share JedecByteForm and differ in the knobs below; their
// Unlock and Lock are fixed high-voltage sequences (12 V on A9, OE, WE or CE).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "algo/memory/socket_form.h"

namespace quilla {

class JedecByteForm : public SocketForm {
public:
    JedecByteForm(Workbench& wb, std::string caption);

    void ReadClick() override;
    void BlankClick() override;
    void VerifyClick() override;
    void WriteClick() override;
    void EraseClick() override = 0;
    virtual void UnProtectChipClick() {}
    virtual void ProtectClick() {}
    void Button1Click() override;

protected:
    // Where an operation routes ground to pin 20: not at all (setup's), before
    // VCC or right after it.
    enum class Ground { None, Before, After };
    Ground GroundRead = Ground::Before, GroundBlank = Ground::Before, GroundVerify = Ground::Before;
    Ground GroundWrite = Ground::None;
    // Write: CE low and OE high once before the blocks (false: at every block).
    bool EnableOnce = true;
    // Write reads back the blocks on 1 KiB boundaries; OE before CE in it, CE
    // high after a clean compare.
    bool ReadBackBlocks = false;
    bool ReadBackOeFirst = false;
    // A chip-enable pulse before reading (Tsst29xf1).
    bool CePulseBeforeRead = false;
    // The batch: one pass (with "Must open a file to write..." when asked).
    bool OnePass = false;
    bool NeedsFileWindow = false;

    std::vector<int> HighAddressPins() const override { return FlashHighPins32(); }
    void AfterHighAddressPins() override { Ep3.PinHigh(35); }
    bool PowerUp(const VariantRecord& r) override;
    bool WriteBegin(const VariantRecord& r) override;
    bool WriteBlockBegin(const VariantRecord& r) override;
    void ProgramBlock(const VariantRecord& r, const Block& b) override;
    bool ReadBack(const VariantRecord& r, const Block& b) override;
    void BeforeReadEnable(const VariantRecord& r) override;
    std::vector<BatchStep> BatchSteps() override;

    // What follows each byte's data cycle (the chip's program time).
    virtual void ByteTail() = 0;

    // The table's rows empty but for the placeholder row 0 "???".
    void StartTable();
    // VPP off, VCC off, every socket pin low, then every pin high (`vpp`: with
    // the VPP routing switched off first).
    void ResetSocket(bool vpp = true);
    // Refuses (nothing sent) an Unlock or Lock whose upr= value names no method
    // of the form: "Unlock: no method for upr=3".
    [[noreturn]] void RefuseNoMethod(const char* operation, int upr);
    // AA at 5555h, 55 at 2AAAh, then `command` at 5555h.
    void UnlockedCommand(std::uint8_t command);
    // AA 55 80 AA 55 10 through the command cycles.
    void ChipEraseCommand();
    // The chip erase from an enabled chip: the reset port mode (written before the
    // address 0 as well when `modeBeforeAddress`), OE high, CE low, the command.
    void StartChipErase(bool modeBeforeAddress);
    // `waits` long waits, each sent at once: with the progress bar, or with the
    // status "Erasing 0" on.
    void EraseWaitProgress(int waits);
    void EraseWaitCounted(int waits);
    // The end of setup: the type line, the buffer window, Length and the offsets.
    void ShowRow(const VariantRecord& r, bool typeText = true);
    // Setup after SetupBegin on the design "vex300.bit" with the reset and read
    // port modes, `caption` and the row shown. GroundFirst: ground on pin 20,
    // VPP 0 V and VCC 5 V before the rest; GroundLast: VCC at `vccMv` first,
    // then after the row VPP 0 V, the bit-reversed address latch and ground.
    void SetupGroundFirst(const VariantRecord& r, const std::string& caption);
    void SetupGroundLast(const VariantRecord& r, int vccMv);
    // The members' operation buttons in window order: ReadButton, Erase, Write,
    // Verify, Blank with the member's captions, then UnProtectChip "Unlock"
    // where the member has it.
    struct ButtonCaptions {
        const char* write = "Write ";
        const char* verify = "Vrfy";
        const char* blank = "Blank?";
        bool unlock = false;
    };
    static ControlRows Buttons(const ButtonCaptions& c);
    // Erase on the row's VCC and VPP pins: PowerRowPinsForErase (the contact
    // test, "Erasing", `reset` for the socket before power, VCC and VPP, the
    // over-current check; false: abandon), then the chip erase (reset mode
    // first), `wait`, "OK", VPP and VCC off.
    bool PowerRowPinsForErase(const std::function<void()>& reset);
    void EraseOnRowPins(const std::function<void()>& reset, const std::function<void()>& wait);
    // VPP and VCC routing off and the VPP level back to 0 V.
    void HighVoltageOff();
    // With the VPP level at 12 V: A9 high and on VPP, OE low, one CE pulse with
    // a settle wait after each edge.
    void A9UnlockPulse();
    // The batch with Unlock (CheckBox5) before the frame's steps.
    std::vector<BatchStep> UnlockFirstBatchSteps();

    Ground running_ = Ground::None;  // the ground rule of the operation under way
};

class TP29fxxx : public JedecByteForm {
public:
    explicit TP29fxxx(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;
    void EraseClick() override;
    void MFGClick() override;
    void UnProtectChipClick() override;

protected:
    void ByteTail() override;
};

class TAMD29f040x : public JedecByteForm {
public:
    explicit TAMD29f040x(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;
    void EraseClick() override;
    void MFGClick() override;
    void UnProtectChipClick() override;
    void Button2Click();

protected:
    void ByteTail() override;

private:
    bool Unprotect(const VariantRecord& r, int upr);
};

class TAt49fx : public JedecByteForm {
public:
    explicit TAt49fx(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;
    void EraseClick() override;
    void MFGClick() override;

protected:
    void ByteTail() override;
};

class TMx29fxxx1 : public JedecByteForm {
public:
    explicit TMx29fxxx1(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;
    void EraseClick() override;
    void UnProtectChipClick() override;

protected:
    void ByteTail() override {}
    std::vector<BatchStep> BatchSteps() override;

private:
    // VCC off, every socket pin low and a long wait.
    void PowerDownPins();
};

class Tv29c51004x : public JedecByteForm {
public:
    explicit Tv29c51004x(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;
    void EraseClick() override;
    void UnProtectChipClick() override;
    void ProtectClick() override;

protected:
    void ByteTail() override {}
    std::vector<BatchStep> BatchSteps() override;
};

class Tsst29xf1 : public JedecByteForm {
public:
    explicit Tsst29xf1(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;
    void EraseClick() override;

protected:
    void ByteTail() override;
};

}  // namespace quilla
