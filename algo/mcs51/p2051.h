// The 20-pin 8051 forms (keywords P2051, P97C2051): AT89C1051/2051/4051 and the
// one-time-programmable 97C1051/2051. The chip sits in the 20-pin area (chip
// pin n on socket n + 10): RST/VPP 11, P3.0 12, XTAL1 15, P3.2 (the program
// strobe) 16, P3.3 17, P3.4 18, P3.5 19, GND 20, P3.7 21, P1 (the data) 22-29,
// VCC 30. It has no address pins: every operation starts the chip's address
// counter at 0 (RST rising after power-up) and steps it through the whole chip,
// one byte at a time, whatever EndAddr says; reads capture 64 bytes per reply
// (0x25 in port mode 9), writes put the byte with 0x26.
//
// One flow, `P2051Form`, with a profile per form (`P2051Profile`). The flash parts
// (`TP2051x`) power up after a contact test with the programmer's clock off,
// step the counter on XTAL1 and take 12 V on RST for erase, write and each lock
// bit; the OTP parts (`TP97c205x`) power up with the clock on XTAL1, step the
// counter on P3.0, check the signature before Blank and Write and read the
// lock back.
#pragma once

#include "algo/mcs51/mcs51_form.h"

namespace quilla {

// What a 20-pin window is.
struct P2051Profile {
    const char* Caption;
    std::vector<Mcs51Row> Parts;
    ControlRows Window = {};           // after the status rows: the buttons, the radios, the batch
    Handlers<Mcs51Form> Batch = {};    // the batch boxes' steps, in order
    bool Otp = false;                  // the 97C parts (see above)
    // The read setting of Read and Blank, in order: C the current check, P port
    // mode 9, S the read setting, F a flush.
    const char* ReadOrder;
    const char* BlankOrder;
    struct {
        const char *Read, *ReadDone, *BlankDone, *Verify, *VerifyDone;
    } Texts;  // the status of Read and Verify, the success texts of Read, Blank, Verify
};

class P2051Form : public Mcs51Form {
public:
    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override { Ep3.PowerOff(); }

    void ReadRom() override;
    void BlankClick() override;
    void VerifyClick() override;
    void WriteClick() override;
    void EraseClick() override;
    void SecrityClick() override;
    void IDClick() override;
    void Button1Click() override;

    // The chip powered with its counter at 0; 0 when the contact test refused.
    virtual int PowerUp51();
    void ProgramByte51(std::uint8_t b) override;
    // One lock bit; false when refused or over-current.
    bool LockBitPulse51(int bit);
    int CheckDeviceId();

protected:
    P2051Form(Workbench& wb, const P2051Profile& row);
    // One step of the chip's address counter.
    virtual void Step();

private:
    // 64-byte groups over the whole chip: `check` gets each group.
    bool Groups(const Mcs51Row& r, bool intoImage, const GroupCheck51& check = {});
    bool ReadMode(const char* order);
    // Blank and Verify over the groups: each judged by `pass` (`off` at a fault), then the pass's end.
    bool CheckGroups(const Mcs51Row& r, const CheckPass51& pass, const std::function<void()>& off,
                     const std::function<void()>& endOff);
    // The end of the signature read and of Verify: the flash parts' supplies off, the OTP parts' VCC.
    void ReadEnd();
    // P3.3, P3.4, P3.5, P3.7 of a setting ("LLHH").
    void Setting(const char* levels);
    // The contact test on the 20-pin area whatever the options say.
    bool Seated();
    // The flash parts' erase or lock pulse under 12 V; false when refused or over-current.
    bool HighVoltagePulse(const char* setting, bool erase);

    const P2051Profile& k_;
    std::uint8_t steps_ = 0;
};

class TP2051x : public P2051Form {
public:
    explicit TP2051x(Workbench& wb);
};
class TP97c205x : public P2051Form {
public:
    explicit TP97c205x(Workbench& wb);
};

}  // namespace quilla
