// The AVR test bench: a SimBench with an AVR part in the socket (the part
// named by the device's first word, as the program seats it), opened the way
// the selection opens a device line (its name and manufacturer text set), with
// the chip's memories at hand.
#pragma once

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "app/programdir.h"
#include "sim/chips/avr.h"
#include "support/device_lines.h"
#include "support/sim_bench.h"

namespace quilla::test {

struct AvrBench : SimBench {
    explicit AvrBench(const std::string& device, const std::string& model = "vex520", bool withOperator = false)
        : SimBench(device.substr(0, device.find(' ')), model, withOperator), device_(device) {}

    // Opens the form of a device line for this bench's device.
    AlgoForm& Line(const std::string& params) {
        wb->sel.SelectedDevice = device_;
        wb->sel.TypeText = "ATMEL: " + device_;
        return Open(params);
    }
    sim::AvrChip& Avr() { return ChipAs<sim::AvrChip>(); }
    // Flash and EEPROM of the chip equal the image (EEPROM at `eepromOffset`).
    bool ChipHoldsImage(int eepromOffset) {
        const auto flash = Avr().Flash();
        const auto eeprom = Avr().Eeprom();
        for (std::size_t i = 0; i < flash.size(); ++i)
            if (flash[i] != Image()[i]) return false;
        for (std::size_t i = 0; i < eeprom.size(); ++i)
            if (eeprom[i] != Image()[static_cast<std::size_t>(eepromOffset) + i]) return false;
        return true;
    }
    bool FlashHoldsImage() { return std::equal(Avr().Flash().begin(), Avr().Flash().end(), Image()); }
    int CountOps(std::uint8_t op) const { return static_cast<int>(tap->Count(op)); }

    std::string device_;
};

// The AVR lines of a shipped device list: device name and parameters.
struct AvrLine {
    std::string device, params;
};
inline std::vector<AvrLine> AvrLines(const std::string& list, const std::vector<std::string>& keywords) {
    std::vector<AvrLine> out;
    for (const ListedLine& l : DeviceLines({list.c_str()}, [&](const ListedLine& l) {
             return l.category == "MPU" && std::find(keywords.begin(), keywords.end(), l.keyword) != keywords.end();
         }))
        out.push_back({l.item, l.params});
    return out;
}

}  // namespace quilla::test
