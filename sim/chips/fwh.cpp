#include "sim/chips/fwh.h"

#include <algorithm>
#include <memory>

namespace quilla::sim {

namespace {

using C = FwhPart::Commands;

constexpr Tenths kVddMin = 30, kVddMax = 36;
constexpr Tenths kVppLowMin = 30, kVppLowMax = 36;    // VPP at VCC level
constexpr Tenths kVppHighMin = 114, kVppHighMax = 126;  // 12 V +- 5 %
constexpr std::uint8_t kReady = 0x80, kEraseError = 0x20, kProgramError = 0x10, kVppError = 0x08;

std::vector<FwhPart> BuildParts() {
    const Nanos us = Microsecond, ms = Millisecond;
    return {
        // Intel 82802AB (4 Mbit) and 82802AC (8 Mbit): 64 KiB blocks.
        {"N82802AB", 0x80000, C::Intel, 0x89, 0xAD, 0x10000, 10 * us, 400 * ms, 0, 0},
        {"N82802AC", 0x100000, C::Intel, 0x89, 0xAC, 0x10000, 10 * us, 400 * ms, 0, 0},
        // SST49LF00xA: 4 KiB sectors; 16 KiB blocks on the 002A, 64 KiB on the others. The
        // 002A/003A/004A device codes (57h, 1Bh, 60h) are the family's; their device lines carry
        // no expected ID.
        {"SST49LF002A", 0x40000, C::Sdp, 0xBF, 0x57, 0x4000, 14 * us, 18 * ms, 18 * ms, 70 * ms},
        {"SST49LF003A", 0x60000, C::Sdp, 0xBF, 0x1B, 0x10000, 14 * us, 18 * ms, 18 * ms, 70 * ms},
        {"SST49LF004A", 0x80000, C::Sdp, 0xBF, 0x60, 0x10000, 14 * us, 18 * ms, 18 * ms, 70 * ms},
        {"SST49LF008A", 0x100000, C::Sdp, 0xBF, 0x5A, 0x10000, 14 * us, 18 * ms, 18 * ms, 70 * ms},
    };
}

// The smallest power of two holding n.
std::uint32_t Span(std::uint32_t n) {
    std::uint32_t s = 1;
    while (s < n) s <<= 1;
    return s;
}

}  // namespace

const std::vector<FwhPart>& FwhParts() {
    static const std::vector<FwhPart> parts = BuildParts();
    return parts;
}

const FwhPart* FindFwhPart(std::string_view name) { return FindPartByName(FwhParts(), name); }

FwhFlash::FwhFlash(const FwhPart& part) : PartRowChip(part, part.size, 0xFF) {}

AbsoluteMaximum FwhFlash::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = 50;
    r.pins.push_back({kVdd, 40});
    if (part_.commands == C::Intel) r.pins.push_back({kVpp, 130});
    return r;
}

bool FwhFlash::Present(std::uint32_t a) const { return (a & (Span(part_.size) - 1)) < part_.size; }

std::uint32_t FwhFlash::Cell(std::uint32_t a) const { return a & (Span(part_.size) - 1); }

void FwhFlash::Reset() {
    read_ = ReadMode::Array;
    pending_ = Pending::None;
    sdpStep_ = 0;
    sdpProgram_ = false;
    busy_ = Work::None;
    left_ = 0;
}

void FwhFlash::PowerDown(ChipPins& pins) {
    if (powered_) {
        powered_ = false;
        Reset();
        status_ = 0;
    }
    for (int p : DataPins) pins.Release(p);
}

void FwhFlash::OnRemoved() { powered_ = false; }

bool FwhFlash::VppInWindow(ChipPins& pins) const {
    const Tenths v = pins.SupplyVoltage(kVpp);
    return (v >= kVppLowMin && v <= kVppLowMax) || (v >= kVppHighMin && v <= kVppHighMax);
}

void FwhFlash::OnPinsChanged(ChipPins& pins) {
    const Tenths vdd = pins.SupplyVoltage(kVdd);
    if (!pins.Grounded(kVss) || vdd < kVddMin || vdd > kVddMax) {
        PowerDown(pins);
        return;
    }
    if (!powered_) {
        powered_ = true;
        Reset();
        status_ = 0;
        aaMux_ = pins.High(kIc);
        resetLow_ = !pins.High(kReset);
        rcHigh_ = pins.High(kRowCol);
        weHigh_ = pins.High(kWe);
    }
    // RST# low resets; the interface is chosen again when it rises.
    if (!pins.High(kReset)) {
        resetLow_ = true;
        Reset();
        for (int p : DataPins) pins.Release(p);
        return;
    }
    if (resetLow_) {
        resetLow_ = false;
        aaMux_ = pins.High(kIc);
        rcHigh_ = pins.High(kRowCol);
        weHigh_ = pins.High(kWe);
    }
    if (!aaMux_) {
        for (int p : DataPins) pins.Release(p);
        return;
    }
    // VPP leaving its window aborts the Intel part's program or erase.
    if (part_.commands == C::Intel && busy_ != Work::None && !VppInWindow(pins)) {
        status_ |= kVppError | (busy_ == Work::Program ? kProgramError : kEraseError);
        busy_ = Work::None;
    }

    const std::uint32_t a = pins.ReadBus(AddressPins) & 0x7FF;
    const bool rc = pins.High(kRowCol);
    if (rcHigh_ && !rc) row_ = a;
    if (!rcHigh_ && rc) latched_ = (a << 11) | row_;
    rcHigh_ = rc;

    const bool we = pins.High(kWe), oe = pins.High(kOe);
    if (!weHigh_ && we && oe) {
        std::uint8_t d = 0;
        for (int i = 0; i < 8; ++i)
            if (pins.High(DataPins[i])) d = static_cast<std::uint8_t>(d | (1u << i));
        BusCycle(pins, latched_, d);
    }
    weHigh_ = we;

    if (!oe && we) {
        Drive(pins);
    } else {
        for (int p : DataPins) pins.Release(p);
    }
}

void FwhFlash::OnElapsed(ChipPins& pins, Nanos dt) {
    if (!powered_ || busy_ == Work::None) return;
    if (dt < left_) {
        left_ -= dt;
        return;
    }
    Finish();
    if (!pins.High(kOe) && pins.High(kWe)) Drive(pins);
}

void FwhFlash::Drive(ChipPins& pins) {
    const std::uint8_t v = ReadByte(latched_);
    for (int i = 0; i < 8; ++i) pins.Drive(DataPins[i], (v >> i) & 1u);
}

std::uint8_t FwhFlash::ReadByte(std::uint32_t address) {
    if (part_.commands == C::Sdp && busy_ != Work::None) {
        // Data# polling on DQ7, the toggle bit on DQ6.
        toggle_ = !toggle_;
        const std::uint8_t dq7 = busy_ == Work::Program ? static_cast<std::uint8_t>(~workData_ & 0x80) : 0;
        return static_cast<std::uint8_t>(dq7 | (toggle_ ? 0x40 : 0));
    }
    if (part_.commands == C::Intel && (busy_ != Work::None || read_ == ReadMode::Status))
        return static_cast<std::uint8_t>((busy_ == Work::None ? kReady : 0) | status_);
    if (read_ == ReadMode::Id) return (address & 1u) ? part_.dev : part_.mfr;
    return Present(address) ? cells_[Cell(address)] : 0xFF;
}

void FwhFlash::Start(Work w, std::uint32_t address, std::uint8_t data, Nanos t) {
    busy_ = w;
    workAddress_ = address;
    workData_ = data;
    left_ = static_cast<Nanos>(static_cast<double>(t) * SlowFactor());
    if (w != Work::Program) ++erasesStarted_;
}

void FwhFlash::Finish() {
    const Work w = busy_;
    busy_ = Work::None;
    left_ = 0;
    auto fill = [this](std::uint32_t first, std::uint32_t n) {
        for (std::uint32_t i = 0; i < n; ++i)
            if (Present(first + i)) cells_[Cell(first + i)] = 0xFF;
    };
    switch (w) {
        case Work::Program:
            if (Present(workAddress_)) cells_[Cell(workAddress_)] &= workData_;
            break;
        case Work::EraseBlock:
            fill(workAddress_ & ~(part_.blockSize - 1), part_.blockSize);
            break;
        case Work::EraseSector:
            fill(workAddress_ & ~0xFFFu, 0x1000);
            break;
        case Work::EraseChip:
            std::fill(cells_.begin(), cells_.end(), 0xFF);
            break;
        case Work::None:
            break;
    }
}

void FwhFlash::BusCycle(ChipPins& pins, std::uint32_t address, std::uint8_t data) {
    if (busy_ != Work::None) {  // commands are ignored while busy
        NoteRefusal(address, "bus cycle while a program or erase runs: ignored");
        return;
    }
    if (part_.commands == C::Intel) {
        IntelCycle(pins, address, data);
    } else {
        SdpCycle(address, data);
    }
}

void FwhFlash::IntelCycle(ChipPins& pins, std::uint32_t address, std::uint8_t data) {
    if (pending_ == Pending::Program) {
        pending_ = Pending::None;
        read_ = ReadMode::Status;
        if (!VppInWindow(pins)) {
            status_ |= kVppError | kProgramError;
            NoteRefusal(address, "program without VPP in its window: SR.3");
            return;
        }
        Start(Work::Program, address, data, part_.program);
        return;
    }
    if (pending_ == Pending::Erase) {
        pending_ = Pending::None;
        read_ = ReadMode::Status;
        if (data != 0xD0) {
            status_ |= kProgramError | kEraseError;  // command sequence error
            NoteRefusal(address, "erase set-up not confirmed by D0h: command sequence error");
            return;
        }
        if (!VppInWindow(pins)) {
            status_ |= kVppError | kEraseError;
            NoteRefusal(address, "erase without VPP in its window: SR.3");
            return;
        }
        Start(Work::EraseBlock, address, data, part_.blockErase);
        return;
    }
    switch (data) {
        case 0xFF: read_ = ReadMode::Array; break;
        case 0x90: read_ = ReadMode::Id; break;
        case 0x70: read_ = ReadMode::Status; break;
        case 0x50: status_ = 0; break;
        case 0x40:
        case 0x10:
            pending_ = Pending::Program;
            break;
        case 0x20:
            pending_ = Pending::Erase;
            read_ = ReadMode::Status;
            break;
        default:
            break;  // not a command of this part
    }
}

void FwhFlash::SdpCycle(std::uint32_t address, std::uint8_t data) {
    if (sdpProgram_) {
        sdpProgram_ = false;
        sdpStep_ = 0;
        Start(Work::Program, address, data, part_.program);
        return;
    }
    // Command addresses: A14..A0 as given, the higher bits all 0 or all 1.
    const std::uint32_t high = address >> 15;
    const bool highOk = high == 0 || high == ((1u << 7) - 1);
    const bool at5555 = highOk && (address & 0x7FFF) == 0x5555;
    const bool at2AAA = highOk && (address & 0x7FFF) == 0x2AAA;
    if (data == 0xF0 && (sdpStep_ == 0 || sdpStep_ == 2)) {
        read_ = ReadMode::Array;
        sdpStep_ = 0;
        return;
    }
    const int step = sdpStep_;
    sdpStep_ = 0;
    switch (step) {
        case 0:
            if (at5555 && data == 0xAA) sdpStep_ = 1;
            break;
        case 1:
            if (at2AAA && data == 0x55) sdpStep_ = 2;
            break;
        case 2:
            if (!at5555) break;
            if (data == 0xA0) sdpProgram_ = true;
            else if (data == 0x80) sdpStep_ = 3;
            else if (data == 0x90) read_ = ReadMode::Id;
            break;
        case 3:
            if (at5555 && data == 0xAA) sdpStep_ = 4;
            break;
        case 4:
            if (at2AAA && data == 0x55) sdpStep_ = 5;
            break;
        case 5:
            if (at5555 && data == 0x10) Start(Work::EraseChip, 0, 0xFF, part_.chipErase);
            else if (data == 0x30) Start(Work::EraseSector, address, 0xFF, part_.sectorErase);
            else if (data == 0x50) Start(Work::EraseBlock, address, 0xFF, part_.blockErase);
            break;
        default:
            break;
    }
}

SeatedPart MakeFwhFlash(std::string_view name) {
    const FwhPart* p = FindFwhPart(name);
    if (!p) return {};
    std::vector<int> socket(32);
    for (int i = 0; i < 32; ++i) socket[static_cast<std::size_t>(i)] = i + 5;  // PLCC32 on the DIP32 footprint
    return {std::make_unique<FwhFlash>(*p), Placement::Custom("PLCC32", socket)};
}

void RegisterFwhFlash(ChipRegistry& registry) { RegisterPartsByName(registry, FwhParts(), &MakeFwhFlash); }

}  // namespace quilla::sim
