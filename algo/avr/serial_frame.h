// The handlers the AVR serial forms share, whatever carries their
// instructions: the SPI layer (spi_form.h) and the high-voltage serial layer
// (hvsp_form.h) supply the entry, the reads, the writes and the chip erase;
// this layer reads and writes the memories with them and gives the windows
// their foot.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "algo/avr/avr_form.h"

namespace quilla {

class AvrSerialForm : public AvrForm {
public:

    // ---- handlers -----------------------------------------------------------------------
    void ReadRom() override;
    void BlankClick() override;
    void VerifyClick() override;
    void WriteClick() override;
    void EraseClick() override;
    void RdDataClick() override;
    void WrDataClick() override;
    // The three signature bytes into LastReadId and the status.
    void ReadIdClick();
    virtual void Button1Click() = 0;

    virtual void ReadSignatureByte(int i) = 0;

protected:
    // How often the word and byte writes show the progress and flush (bytes).
    struct Flushes {
        int flash, eeprom;
    };
    AvrSerialForm(Workbench& wb, std::string caption, Flushes flushes);

    // The chip erase instruction (in programming mode).
    virtual void QueueChipErase() = 0;
    // What Blank and Verify check before their entry; false ends them.
    virtual bool ReadyForCheck() { return true; }

    // The foot of the serial windows: the speed box (with its blank item), the
    // readouts and the Note label `note`.
    static ControlRows WindowFoot(const char* note);

private:
    Flushes flushes_;
};

}  // namespace quilla
