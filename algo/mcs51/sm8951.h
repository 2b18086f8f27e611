// The SM8951 and SM2952 forms (keywords SM8951, SM89516, PSM2952): 8051 flash
// parts programmed in parallel with 12 V (12.5 V) on EA/VPP whose modes sit on
// port 3. A form is one variant of `Sm51Form`: its power-up, mode pins, pulse
// and erase are data over the sequence notation of the family (H n, L n, W k,
// D b, M m, A a, Flush, check current).
//
// Socket pins (DIP40): 9 RST, 10-17 P3.0-P3.7, 18 XTAL2, 19 XTAL1 (the
// programmer's clock), 20 GND, 21-28 P2.0-P2.7 (A8-A15), 29 PSEN, 30 ALE/PROG,
// 31 EA/VPP, 40 VCC; A0-A7 through latch 0, the data with 0x21, reads in
// 256-byte blocks.
#pragma once

#include "algo/mcs51/mcs51_form.h"

namespace quilla {

// How a SyncMOS (or Megawin) window differs where the protocol is the same:
// levels, the pins of the power-up, the program pulse, the read and write
// settings (SM8951, SM89516 and SM2952 windows; the SM59 and MSU2958 windows
// use the power-up and the pulse).
struct Sm51Row {
    int VccMv = 5000, VppMv = 0;
    bool SuppliesFirst = false;  // the power-up sets VPP 0 and VCC first
    bool OptionOnVccPin = false;  // the option on the package's VCC pin (else socket 40)
    int HandClocks = 0;  // XTAL1 clocked by hand after VCC (0: the programmer's clock)
    bool XtalOption = false;  // XTAL1 given the option too
    std::vector<Level51> PowerUpPins = {};     // before VCC is routed
    std::vector<Level51> AfterVccPins = {};    // once VCC is routed
    bool PowerUpSettles = false;                  // a 27 wait at the end of the power-up
    int ModePins = 0;                         // mode pins from socket 10
    std::vector<Level51> PulseLow = {}, PulseHigh = {};  // the program pulse around its wait
    std::uint8_t PulseWait = 0;               // 0: the Delay radio's wait
    std::vector<Level51> ReadPins = {};        // the read setting after the power-up
    std::vector<Level51> ReadEndPins = {};     // after Read, VCC off
    bool StatusAfterPowerUp = false;              // Read and Blank show their status once powered
    std::vector<Level51> WritePins = {};       // before reset mode
    std::vector<Level51> WriteAddressPins = {};  // after address 0 is set
    std::vector<Level51> WriteEndPins = {};    // after the last page
};

// The power-up (the clock on XTAL1, the row's pins around VCC) and program
// pulse (the data, the row's low pins, its wait, its high pins) of these
// windows, once.
class SyncMos51Form : public Mcs51Form {
public:
    void PowerUp51();
    void ProgramByte51(std::uint8_t b);

protected:
    SyncMos51Form(Workbench& wb, const char* caption, const Sm51Row& row)
        : Mcs51Form(wb, caption, {21, 22, 23, 24, 25, 26, 27, 28}), k_(row) {}
    void D(std::uint8_t b) { Ep3.UsbPut2(proto::OpPutData51, b); }

    const Sm51Row& k_;
};

class Sm51Form : public SyncMos51Form {
public:
    enum class Variant { Sm8951, Sm89516, Sm2952 };

    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override;

    // ---- the handlers -------------------------------------------------------------
    void ReadRom();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void EraseClick();
    void SecrityClick();
    void Button1Click();
    void CancelBtnClick() { Close(); }

    // ---- the routines ---------------------------------------------------------------
    int PreCheck51();
    void SetModePins51(unsigned mask);
    void EraseStep51();

protected:
    Sm51Form(Workbench& wb, Variant v);

private:
    // The read setting of each form after its power-up (no current check).
    void ReadSetting();
    bool CheckCurrent() { return Ep3.CheckCurrent() != 0; }

    Variant variant_;
};

class TSm8951x : public Sm51Form {
public:
    explicit TSm8951x(Workbench& wb) : Sm51Form(wb, Variant::Sm8951) {}
};

class TSm89516x : public Sm51Form {
public:
    explicit TSm89516x(Workbench& wb) : Sm51Form(wb, Variant::Sm89516) {}
};

class TSm2952 : public Sm51Form {
public:
    explicit TSm2952(Workbench& wb) : Sm51Form(wb, Variant::Sm2952) {}
};

}  // namespace quilla
