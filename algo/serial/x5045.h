// The X5045 form (TX5045x): the X5045/43 supervisory SPI EEPROM (512 bytes,
// status with the block protection and the watchdog period). The host toggles
// the bus bit by bit with control lines (1 SCK, 2 SI, 3 /CS) and samples SO
// with capture 0x01 (bit 0); address bit 8 rides in bit 3 of READ (0Bh) and
// WRITE (0Ah). Every byte is its own write cycle (WREN, WRITE, one 10 ms wait).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "algo/serial/serial_form.h"

namespace quilla {

class TX5045x : public SerialForm {
public:
    struct Row {
        std::string Name;
        std::string Design{};  // the design setup loads
        int Last = 0;
        int Vcc = 0, Gnd = 0;
        std::uint32_t MaskLo = 0, MaskHi = 0;
    };
    std::vector<Row> Table;

    explicit TX5045x(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;
    void OnClose() override { Ep3.PowerOff(); }

    void X5045ShiftOut(int value, int n);
    void X5045PowerUp();
    std::uint8_t X5045ReadByte(int a);
    void X5045WriteByte(int a, std::uint8_t data);

    void ReadRom() override;
    void VerifyClick() override;
    void WriteClick() override;
    void EraseClick();
    void BlankClick();
    void ReadStatusClick();
    void WriteStatusClick();
    void Button1Click();
    // The status value of the two radio groups.
    std::uint8_t StatusValue() const;

protected:
    int TableSize() const override { return static_cast<int>(Table.size()); }

private:
    const Row& Selected() { return Table[static_cast<std::size_t>(RowIndex())]; }
    void Progress(int i) { ShowProgress(i, Selected().Last); }
    // The contact test of every operation; false ends it (the step fails).
    bool Contact();
    void Wren();
    // Writes every byte from `byteOf(i)`, one transfer a byte.
    void WriteAll(const std::function<std::uint8_t(int)>& byteOf);
};

}  // namespace quilla
