// The MDT OTP forms: TMdt20xx (keyword MDT2000: MDT2005, 2010, 2015, 2020) and
// TMdt2051x (MDT2051) on the "mdt2000" design. Every control signal is one
// socket pin set through register 18; a 14-bit word crosses the 7-bit data
// port (latch 0 and capture 0x01 on the rows with VCC on pin 25, latch 1 and
// 0x02 with VCC on pin 8) in two halves, low half first, four clocks per word.
//
// The forms program from a raw ".BIN" image. A ".HEX" data file is offered to
// the built-in converter (mdt_convert.h), an ".OBJ" file to the external
// converter named by $QUILLA_MDT_OBJ_CONVERTER (run as: program file.OBJ
// file.BIN); a converted file becomes the data file and is loaded, and the
// operation that asked stops (the next press programs). "No", a failed
// conversion or any other extension leaves the image and the data file alone,
// and a Write or Wrt.CFG that stops early fails its step.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "algo/pic/pic_form.h"

namespace quilla {

// One row of the forms' device table: the supplies' socket pins and the
// control lines, each a socket pin set through register 18.
struct MdtRow {
    std::string Name{};
    std::int32_t ProgramLast = 0;  // program bytes - 1
    int VppPin = 0, VccPin = 0, GndPin = 0;
    int VppMv = 0;
    int ProgramStrobe = 0, HalfSelect = 0, ReadStrobe = 0, Clock = 0, Clock2 = 0, Reset = 0;
};

class TMdt20xx : public PicForm {
public:
    explicit TMdt20xx(Workbench& wb) : TMdt20xx(wb, false) {}

    std::vector<MdtRow> Table;
    int VariantCount() const override { return static_cast<int>(Table.size()); }
    std::string DeviceLineError() const override;
    void SetupForDevice() override;
    void OnClose() override;

    void ReadToFileClick();
    void BlankClick();
    void VerifyClick();
    void WriteClick();
    void RdConfigClick();
    void WtConfigClick();
    void Button2Click();

    void ConfigToControls() override;
    void ControlsToConfig() override;

    // 1 when the data file is a ".BIN" (go on), else 0 (the operation stops).
    int ConvertToBin();

    // The external ".OBJ" converter (from $QUILLA_MDT_OBJ_CONVERTER at
    // construction; empty: none configured).
    std::string ObjConverter;

protected:
    TMdt20xx(Workbench& wb, bool m2051);
    void FillVariantTable();
    void ReadSideFile();
    void WriteSideFile();

    void Line(int pin, bool high);
    void AllLines(bool high) { Line(63, high); }
    void PutData(int v);
    void Sample();
    void SetData(int v);
    void Clock(int n);
    void VppOn();
    void EnterProgramMode();
    // EnterProgramMode, the space on the port, VPP, the port's direction.
    void Preamble(bool config, bool reading);
    void ProgramWord(std::uint32_t w);
    void ReadWord();
    // The reads of the next 32 words, queued.
    void QueueBlock();
    void ProgramDelay();
    void SuppliesOff();
    // The row's VPP, VCC and ground pins touch a seated chip (these forms run
    // no contact test of their own).
    bool Seated();
    void ShowProgress(std::int32_t a) { PicForm::ShowProgress(a, row_.ProgramLast); }

    const bool m2051_;
    MdtRow row_;
    bool ready_ = false;
};

class TMdt2051x : public TMdt20xx {
public:
    explicit TMdt2051x(Workbench& wb) : TMdt20xx(wb, true) {}
};

}  // namespace quilla
