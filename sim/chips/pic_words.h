// What the PIC chip models (sim/chips/pic12.h, pic14.h, pic16c5x.h) share beside
// their programming logic: the part's name, pins and absolute maximum ratings
// from its table row, and program memory kept as image bytes (word n at 2n,
// low byte first, then its high bits; bits above the word's width read 0).
// `Part` is the model's table row; `Erased` is an erased word, all ones of
// the word's width.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "sim/chip.h"

namespace quilla::sim {

// One-time words programmed while the chip stays in its programming mode that
// have not yet had their whole pulse train (the over-programming share): each
// with its value before, put back when the chip leaves the mode.
class UntrainedWords {
public:
    // The word at `address` verified; `before` is its value before (the first
    // one noted stays).
    void Verified(int address, std::uint16_t before) { words_.emplace(address, before); }
    // The word had its whole train: it stays.
    void Trained(int address) { words_.erase(address); }
    // The chip leaves the mode: `restore(address, before)` for each word left
    // short, each noted on `chip` as a refusal when `chip` is given.
    template <class Restore>
    void Revert(Restore&& restore, Chip* chip) {
        for (const auto& [address, before] : words_) {
            restore(address, before);
            if (chip)
                chip->NoteRefusal(static_cast<std::uint32_t>(address & 0xFFFF),
                                  "word verified but not over-programmed (pulse shorter than the whole train): not "
                                  "retained");
        }
        words_.clear();
    }

private:
    std::map<int, std::uint16_t> words_;
};

template <class Part, std::uint16_t Erased>
class PicWordChip : public Chip {
public:
    static constexpr std::uint16_t ErasedWord = Erased;

    std::string Name() const override { return part_.name; }
    int PinCount() const override { return part_.pins; }
    std::vector<int> GroundPins() const override { return part_.vss; }
    std::vector<int> VccPins() const override { return part_.vdd; }
    // Any pin, the VDD pins and MCLR/VPP, from the part's row.
    AbsoluteMaximum Ratings() const override {
        AbsoluteMaximum r;
        r.anyPin = part_.absAny;
        for (int p : part_.vdd) r.pins.push_back({p, part_.absVdd});
        r.pins.push_back({part_.mclr, part_.absMclr});
        return r;
    }

    std::span<const std::uint8_t> Contents() const override { return program_; }
    std::span<std::uint8_t> MutableContents() override { return program_; }

    std::uint16_t Word(int address) const {
        const std::size_t i = static_cast<std::size_t>(address) * 2;
        return static_cast<std::uint16_t>(program_[i] | (program_[i + 1] << 8));
    }
    void SetWord(int address, std::uint16_t w) {
        const std::size_t i = static_cast<std::size_t>(address) * 2;
        program_[i] = static_cast<std::uint8_t>(w & 0xFF);
        program_[i + 1] = static_cast<std::uint8_t>((w >> 8) & (Erased >> 8));
    }

protected:
    // Every program word erased.
    explicit PicWordChip(const Part& part) : part_(part), program_(static_cast<std::size_t>(part.words) * 2) {
        for (int a = 0; a < part.words; ++a) SetWord(a, Erased);
    }

    const Part& part_;
    std::vector<std::uint8_t> program_;
};

}  // namespace quilla::sim
