#include "sim/chips/mx_page.h"

#include <algorithm>

namespace quilla::sim {

namespace {

constexpr Tenths kVccMin = 47, kVccMax = 53;  // 5 V +-5% (4.75..5.25 V)
constexpr Nanos kLoadWindow = 100 * Microsecond;

std::vector<PageFlashPart> BuildParts() {
    const Nanos ms = Millisecond;
    // Macronix MX29F1611: 16 Mbit, 16 sectors of 128 KiB, 128-byte pages (page program 5 ms,
    // sector erase 150 ms typical), silicon ID C2h F1h.
    return {{"MX29F1611", &Sop44PageFlashPinout(), 2 * 1024 * 1024, 0xC2, 0xF1, 5 * ms, 150 * ms, 1000 * ms}};
}

}  // namespace

const std::vector<PageFlashPart>& PageFlashParts() {
    static const std::vector<PageFlashPart> parts = BuildParts();
    return parts;
}

const PageFlashPart* FindPageFlashPart(std::string_view name) { return FindPartByName(PageFlashParts(), name); }

PageFlash::PageFlash(const PageFlashPart& part)
    : FlashPinoutChip(part, part.size), protected_(part.size / kSector, false) {
    latch_.fill(-1);
}

AbsoluteMaximum PageFlash::Ratings() const {
    AbsoluteMaximum r;
    r.anyPin = 70;
    return r;
}

std::uint32_t PageFlash::ByteAddress(ChipPins& pins) const {
    const auto& po = *part_.pinout;
    std::uint32_t a = pins.ReadBus(po.address);
    if (wordMode_) return (a << 1) % part_.size;
    return ((a << 1) | (pins.High(po.data[15]) ? 1u : 0u)) % part_.size;
}

void PageFlash::OnPinsChanged(ChipPins& pins) {
    const auto& po = *part_.pinout;
    Tenths vcc = 0;
    for (int p : po.vcc) vcc = std::max(vcc, pins.SupplyVoltage(p));
    bool grounded = true;
    for (int p : po.gnd) grounded = grounded && pins.Grounded(p);
    if (!grounded || vcc < kVccMin || vcc > kVccMax) {
        if (powered_) {
            // Power lost: whatever ran stops, the latches are gone.
            work_ = Work::None;
            left_ = 0;
            latch_.fill(-1);
            loaded_ = 0;
        }
        powered_ = outputs_ = false;
        for (int p : po.data) pins.Release(p);
        return;
    }
    if (!powered_) {
        powered_ = true;
        mode_ = Mode::Array;
        step_ = 0;
        loadNext_ = false;
        weHigh_ = pins.High(po.we);
    }
    wordMode_ = pins.High(po.byteMode);
    const bool ce = !pins.High(po.ce), oe = !pins.High(po.oe), we = pins.High(po.we);
    if (ce && !oe && !weHigh_ && we) {
        ++writes_;
        std::uint16_t d = 0;
        const std::size_t width = wordMode_ ? 16 : 8;
        for (std::size_t i = 0; i < width; ++i)
            if (pins.High(po.data[i])) d = static_cast<std::uint16_t>(d | (1u << i));
        Write(ByteAddress(pins), d);
    }
    weHigh_ = we;
    outputs_ = ce && oe && we;
    if (outputs_) {
        Drive(pins);
    } else {
        for (int p : po.data) pins.Release(p);
    }
}

void PageFlash::Drive(ChipPins& pins) {
    const auto& po = *part_.pinout;
    std::uint16_t v;
    if (work_ != Work::None) {
        toggle_ = !toggle_;
        const bool program = work_ == Work::Load || work_ == Work::Program;
        v = static_cast<std::uint16_t>((program ? ~lastByte_ & 0x80 : 0) | (toggle_ ? 0x40 : 0));
    } else {
        const std::uint32_t a = ByteAddress(pins);
        if (mode_ == Mode::Id) {
            const std::uint32_t k = wordMode_ ? a >> 1 : a;  // the lowest address bit selects
            v = (k & 1) ? part_.dev : part_.mfr;
        } else if (wordMode_) {
            v = static_cast<std::uint16_t>(cells_[a] | (cells_[a + 1] << 8));
        } else {
            v = cells_[a];
        }
    }
    const std::size_t width = wordMode_ ? 16 : 8;
    for (std::size_t i = 0; i < width; ++i) pins.Drive(po.data[i], (v >> i) & 1u);
}

void PageFlash::Start(Work w, Nanos t) {
    work_ = w;
    left_ = static_cast<Nanos>(static_cast<double>(t) * SlowFactor());
}

void PageFlash::Finish() {
    const Work w = work_;
    work_ = Work::None;
    left_ = 0;
    mode_ = Mode::Array;
    switch (w) {
        case Work::Load:
            Start(Work::Program, part_.pageProgram);
            return;
        case Work::Program:
            if (!protected_[pageBase_ / kSector]) {
                for (int i = 0; i < kPage; ++i)
                    if (latch_[static_cast<std::size_t>(i)] >= 0)
                        cells_[pageBase_ + static_cast<std::uint32_t>(i)] &=
                            static_cast<std::uint8_t>(latch_[static_cast<std::size_t>(i)]);
                ++pages_;
            }
            latch_.fill(-1);
            loaded_ = 0;
            break;
        case Work::SectorErase: {
            const std::uint32_t s = sectorAddr_ / kSector;
            if (!protected_[s]) std::fill_n(cells_.begin() + s * kSector, kSector, 0xFF);
            break;
        }
        case Work::ChipErase:
            for (int s = 0; s < SectorCount(); ++s)
                if (!protected_[static_cast<std::size_t>(s)])
                    std::fill_n(cells_.begin() + static_cast<std::size_t>(s) * kSector, kSector, 0xFF);
            break;
        case Work::None: break;
    }
}

void PageFlash::OnElapsed(ChipPins& pins, Nanos dt) {
    if (!powered_ || work_ == Work::None) return;
    while (dt > 0 && work_ != Work::None) {
        if (dt < left_) {
            left_ -= dt;
            return;
        }
        dt -= left_;
        Finish();
    }
    if (outputs_) Drive(pins);
}

void PageFlash::Write(std::uint32_t a, std::uint16_t data) {
    if (work_ == Work::Load) {
        // One more byte (or word) of the page; another page's address ends the loading.
        auto load = [&](std::uint32_t at, std::uint8_t v) {
            if ((at & ~std::uint32_t{kPage - 1}) != pageBase_) {
                NoteRefusal(at, "load outside the page being loaded: dropped");
                return;
            }
            auto& slot = latch_[at & (kPage - 1)];
            if (slot < 0) ++loaded_;
            slot = v;
            lastByte_ = v;
        };
        load(a, static_cast<std::uint8_t>(data));
        if (wordMode_) load(a + 1, static_cast<std::uint8_t>(data >> 8));
        if (loaded_ >= kPage) {
            Start(Work::Program, part_.pageProgram);
        } else {
            left_ = kLoadWindow;
        }
        return;
    }
    if (work_ != Work::None) {  // ignored while busy
        NoteRefusal(a, "write cycle while a program or erase runs: ignored");
        return;
    }
    const std::uint8_t d = static_cast<std::uint8_t>(data);
    if (loadNext_) {
        loadNext_ = false;
        pageBase_ = a & ~std::uint32_t{kPage - 1};
        latch_.fill(-1);
        loaded_ = 0;
        Start(Work::Load, kLoadWindow);
        Write(a, data);
        return;
    }
    // Command addresses on A14..A-1 (byte mode) or A14..A0 (word mode, as byte addresses).
    const std::uint32_t cmd = wordMode_ ? (a >> 1) & 0x7FFF : a & 0xFFFF;
    const std::uint32_t c1 = wordMode_ ? 0x5555 : 0xAAAA, c2 = wordMode_ ? 0x2AAA : 0x5554;
    if (d == 0xF0 && (step_ == 0 || step_ == 2)) {
        mode_ = Mode::Array;
        step_ = 0;
        return;
    }
    const int step = step_;
    step_ = 0;
    switch (step) {
        case 0:
        case 3:
        case 6:
            if (cmd == c1 && d == 0xAA) step_ = step + 1;
            break;
        case 1:
        case 4:
        case 7:
            if (cmd == c2 && d == 0x55) step_ = step + 1;
            break;
        case 2:
            if (cmd != c1) break;
            if (d == 0x90) mode_ = Mode::Id;
            else if (d == 0xA0) loadNext_ = true;
            else if (d == 0x80) step_ = 3;
            else if (d == 0x60) step_ = 6;
            break;
        case 5:
            if (d == 0x10 && cmd == c1) {
                Start(Work::ChipErase, part_.chipErase);
            } else if (d == 0x30) {
                sectorAddr_ = a;
                Start(Work::SectorErase, part_.sectorErase);
            }
            break;
        case 8: {
            const std::uint32_t s = a / kSector;
            if (d == 0x20 && (s == 0 || static_cast<int>(s) == SectorCount() - 1)) protected_[s] = true;
            else if (d == 0x40) std::fill(protected_.begin(), protected_.end(), false);
            break;
        }
        default: break;
    }
}

SeatedPart MakePageFlash(std::string_view name) { return SeatOnAdapter<PageFlash>(FindPageFlashPart(name), name); }

void RegisterPageFlash(ChipRegistry& registry) { RegisterPartsByName(registry, PageFlashParts(), &MakePageFlash); }

}  // namespace quilla::sim
