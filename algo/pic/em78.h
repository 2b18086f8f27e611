// The EM78 OTP forms: 13-bit program words shifted through an EM78 design
// (algo/pic/em78_layer.h).
//
// - TEm78p156 (keyword EMC78P156E) and TEm78p447 (EMC78P447): EM78P156/256/456,
//   EM78P247S/447S; a configuration word in boxes and radio groups, the
//   two-byte binary ".EMC" side file read and written, a one-pass batch.
// - TEm78p153x (EMC78P153) and TEm78p458x (EMC78P458): EM78P153 and
//   EM78P458/459; a configuration grid ("1"/"0" per bit), the contact test
//   before every operation; the EM78P153 form writes its word to ".EMC" at
//   close, the EM78P458 form keeps its grid in the ".c48" side file.
//
// All of them ask before writing an image that is not a ".CDS" file; a "No"
// fails the Write step, so a batch pass ends without "End OK.." and uncounted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "algo/pic/pic_form.h"

namespace quilla {

struct Em78Row {
    std::string Name;
    int VppPin = 0, VccPin = 0, GndPin = 0;  // socket pins
    std::int32_t ProgramLast = 0;            // program bytes - 1
    std::uint32_t ContactLo = 0, ContactHi = 0;
};

// The two-byte binary ".EMC" (bits 15-8, then 7-0; a missing byte reads as
// FFh); nullopt when the file cannot be opened (or the path is empty).
std::optional<std::uint16_t> ReadEmcFile(const std::string& path);
bool WriteEmcFile(const std::string& path, std::uint16_t word);

// What the EM78 forms share: the row table, the supplies, the ".CDS" question,
// the address display and the program-memory block reads.
class Em78Form : public PicForm {
public:
    Em78Form(Workbench& wb, std::string caption);

    std::vector<Em78Row> Table;
    int VariantCount() const override { return static_cast<int>(Table.size()); }
    std::string DeviceLineError() const override;

    // ".CDS" (any case) passes; any other extension asks, Yes passes.
    bool CheckCdsFile();

protected:
    const Em78Row& Row() const { return row_; }
    // Row check, ResetPins, the table row; false (with one message) for a
    // variant that names no part.
    bool SetupBegin();
    void ShowProgress(std::int32_t a) { PicForm::ShowProgress(a, row_.ProgramLast); }
    void SuppliesOff();
    // Reads `words` words from the current address (32 per reply) into `out`
    // as reply bytes (bits 8-12 first).
    void ReadWords(int words, std::uint8_t* out);
    // Write's programming, in program mode: the image's words (13 bits) to the
    // chip's last, then ErrorFlag 0, supplies off and "OK".
    void ProgramImage();
    void Shutdown();  // supplies off at close

    Em78Row row_;
    bool ready_ = false;
};

// ---- EMC78P156E / EMC78P447 -------------------------------------------------------------

class TEm78p156 : public Em78Form {
public:
    explicit TEm78p156(Workbench& wb) : TEm78p156(wb, false) {}

    void SetupForDevice() override;
    void OnClose() override;

    void BlankClick();
    void WriteClick();
    void VerifyClick();
    void ReadToFileClick();
    void RdConfigClick();
    void WtConfigClick();
    void Button2Click();

    void ConfigToControls() override;
    void ControlsToConfig() override;

protected:
    TEm78p156(Workbench& wb, bool p447);
    void FillVariantTable();
    void PowerLevels();
    void EnterProgramMode(bool config);
    // The form's check that a chip sits in the socket: the row's supply and
    // ground pins (these forms run no contact test of their own).
    bool Seated();
    // The configuration word: entry, one word read; supplies off.
    std::uint16_t ReadConfigWord(int vcc);

    const bool p447_;
};

class TEm78p447 : public TEm78p156 {
public:
    explicit TEm78p447(Workbench& wb) : TEm78p156(wb, true) {}
};

// ---- EMC78P153 / EMC78P458 ----------------------------------------------------------------

class TEm78p153x : public Em78Form {
public:
    explicit TEm78p153x(Workbench& wb) : TEm78p153x(wb, false) {}

    void SetupForDevice() override;
    void OnClose() override;

    void BlankClick();
    void WriteClick();
    void VerifyClick();
    void ReadToFileClick();
    void RdConfigClick();
    void WtConfigClick();
    void Button2Click();
    void StringGrid1Click();

    void ControlsToConfig() override;
    void ConfigToControls() override {}

    // The grid's value (bit i = "1" in row i).
    std::uint32_t GridValue() const;

protected:
    TEm78p153x(Workbench& wb, bool p458);
    void FillVariantTable();
    void EnterProgramMode(bool config);
    bool Contact();
    // Entry into the configuration space, `words` words read; supplies off.
    void ReadConfigWords(int words);
    // Blank's and Verify's pass over program memory: each word against the
    // image (nullptr: the erased 1FFFh); the first difference shows `fail`.
    void CompareProgram(const std::uint8_t* image, const char* fail);

    const bool p458_;
    int rows_;
};

class TEm78p458x : public TEm78p153x {
public:
    explicit TEm78p458x(Workbench& wb);
};

}  // namespace quilla
