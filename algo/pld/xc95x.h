// The XC95xx form (keyword XC95X, window "Xc95x"): an SVF player and three
// fixed JTAG sequences (ID, Erase, Blank) through the design "jtag1.bit".
// The CPLD is powered on the user's board: the form applies no supply and
// drives no socket pin. Results and errors go to the text view RichEdit1.
//
// A scan is a series of bursts: latch 1 = TCK count, latch 2 = TDI byte,
// latches 3/4 = TMS bits, latch 0 from 0 to 1 starts it; capture 4 reads the
// TDO byte of a full 8-cycle burst, capture 6 those of the last burst.
//
// The player reads SVF statements (joined up to ';', "//" and "!" comments
// dropped): SIR, SDR (TDI, TDO, MASK, SMASK), RUNTEST (a TCK/SCK count and/or a
// time in SEC), STATE RESET/IDLE, ENDIR/ENDDR IDLE, zero HIR/HDR/TIR/TDR,
// FREQUENCY and TRST (no effect here). Keywords are whole words in any case.
// Anything it cannot play as asked, PIO, PIOMAP and any word that is no
// statement of the format, ends the run with "%d行Err.:", the statement's
// first line and its text, never "OK". A text with no statement at all sends
// nothing and says so.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "algo/common/form.h"

namespace quilla {

class TXc95x : public AlgoForm {
public:
    explicit TXc95x(Workbench& wb);

    void SetupForDevice() override;
    void OnClose() override;

    void Button1Click();
    void IDClick();
    void EraseClick();
    void BlankClick();
    void Button3Click();

    // ---- the JTAG routines -------------------------------------------------------------
    static constexpr int ScanDr = 1, ScanIr = 2, ScanCapture = 4;
    static constexpr int MaxScanBits = 512;
    void JtagReset();
    void JtagScan(int flags, int n, const std::uint8_t* data);
    int QueueCapture(std::uint8_t op);
    // The fixed sequences' field reader: hex pairs backwards from the first ')' (buf[0] the
    // pair next to it), stopping at '('; at most 64 bytes.
    static void HexField(const std::string& text, std::uint8_t* buf);
    void ScanHexText(int flags, int n, const std::string& text);
    void RunTestDelay(long long count) { RunTestMicros(4 * count); }
    void RunTestMicros(long long t);
    void ShowIdBytes();

    std::array<std::uint8_t, 128> SvfTdiBuffer{};
    std::array<std::uint8_t, 128> SvfTdoBuffer{};
    std::array<std::uint8_t, 128> SvfIrMask{};
    std::array<std::uint8_t, 128> SvfDrMask{};
    int CaptureCount = 0;
    int SdrTry = 0;
    long long RunTestTotal = 0;

private:
    // One statement (without its ';'); false ends the run (an error line may
    // already be in the view).
    bool PlayStatement(const std::string& statement);
    bool ScanStatement(const std::string& statement, bool ir);
    // One scan; a TDO mismatch is shown as a line when `report`.
    bool ScanOnce(int kind, int n, bool compare, bool report);
    static constexpr int SdrTries = 32;
    // Four bytes as one line of the view: "xx,xx,xx,xx,".
    void AppendBytes(const std::uint8_t* b);
};

}  // namespace quilla
