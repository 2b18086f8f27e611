// The frame of the adapter-socket forms (P29F640, F640, I27CX, MX29X161X,
// HN29AND): chips on adapter boards reached through the board's own FPGA
// design (sim/designs/adapter.h documents the simulated ones). The design owns a
// 24-bit address counter (registers 21-23, in the chip's address unit), numbered
// control lines (register 18) and the data path; the host loads the design,
// sets the counter once and streams block reads, program commands and write
// cycles, and the design steps the address itself.
//
// Control lines as the forms drive them: 1 and 3 the reading state (1 high, 3
// low) and the writing state (1 low, 3 high), 2 low with either and raised at the
// end of erase and protection work, 4 the strobe of every write cycle and stored
// command, 5 raised at power-up, 6 the command address set.
//
// The forms share the look of the socket forms (offsets window, progress,
// address field, status, batch) and nothing else of them.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "algo/memory/memory_form.h"

namespace quilla {

// One adapter row; each form reads the fields it has.
struct AdapterRow {
    std::string BitFile;                 // the adapter's design file
    std::uint8_t ShortCommands = 0;      // 3: the protection register's commands at 555h/2AAh
    int Width = 0;                       // 16 or 8
    std::uint8_t VccPin = 0;             // pin code given to VccPin
    std::uint8_t GndCode = 0;            // socket pin or code 100/101 for GndPin and the contact test
    std::uint8_t VppPin = 0;             // temporary unprotect, lock method 1, programming
    std::uint8_t HvPinA = 0, HvPinB = 0; // lock method 2
    std::uint8_t StrobeLine = 0;         // the EPROM form's program strobe line
    std::int32_t SmallBlock = 0, MainBlock = 0;  // block flash, in address units
    std::int32_t FixedLast = 0;          // rows without a size list: chip size - 1
    std::array<std::int32_t, 8> Sizes{}; // last address by mem=
    std::array<std::uint32_t, 8> MaskLo{}, MaskHi{};  // contact masks by mem=

    struct Mask {
        std::uint32_t lo, hi;
    };
    void SetMask(std::size_t mem, Mask m) {
        MaskLo[mem] = m.lo;
        MaskHi[mem] = m.hi;
    }
    void SetMasks(const std::array<Mask, 8>& masks) {
        for (std::size_t m = 0; m < masks.size(); ++m) SetMask(m, masks[m]);
    }

    bool Filled() const { return !BitFile.empty() || FixedLast > 0; }
};

// The last addresses of mem= 0 to 7: 0, 128 KiB - 1 ... 8 MiB - 1.
std::int32_t AdapterSize(int mem);

// A row of the block-flash tables (P29F640, F640) as they write it, with
// designated initialisers; Build() gives the AdapterRow.
struct AdapterRowFields {
    const char* design = "";
    int width = 8;
    std::uint8_t vcc = 0, gnd = 0, vpp = 0;  // VccPin, GndCode, VppPin
    std::uint8_t hvA = 0, hvB = 0;           // HvPinA, HvPinB
    std::uint8_t shortCommands = 0;
    int firstMem = 0, lastMem = 0;           // the mem= values with a size (AdapterSize)
    std::int32_t smallBlock = 0, mainBlock = 0;
    std::array<AdapterRow::Mask, 8> masks{};  // contact masks by mem= (0 where none)

    AdapterRow Build() const;
};

// At most four hexadecimal digits after leading blanks ("%04x"); nothing when none.
std::optional<std::uint16_t> ScanHex4(const std::string& text);

class AdapterForm : public MemoryForm {
public:
    AdapterForm(Workbench& wb, std::string caption);

    // ---- the adapter primitives (nothing flushes) ------------------------------------
    void SetAddressCounter(std::int32_t a);
    void SendFlashCommand(int k);     // the design's stored cycle k, strobed by line 4
    void BusWrite(std::uint16_t v);   // one write cycle of v at the counter
    // [0x41 n], a flush and exactly n x 64 bytes into buf.
    void ReadBlock(std::uint8_t* buf, int n);
    void ReadingState(bool line2 = true);  // lines 1 high, 3 low (and 2 low)
    void WritingState();                    // lines 1 low, 3 high, 2 low
    void ShowProgress(std::int32_t value);
    // A chip erase's progress: the bar from 0 to `max` at `step`, Edit6 "N Sec"
    // (ten long waits a second).
    void EraseCountdown(int step, int max);

    // ---- the device row ---------------------------------------------------------------
    std::vector<AdapterRow> Table;
    int VariantCount() const override;
    const AdapterRow* SelectedRow() const;
    // The row's last address for this device line (0 when mem= names no size).
    std::int32_t LastAddress() const;
    int MemIndex() const;
    // mem= as an index of the contact masks (0 when outside 0..7).
    std::size_t MaskIndex() const;

    // 1 while the batch runs: the steps skip the contact test and the ID check.
    bool BatchFlag = false;

    // The working offsets of the End-address forms (P29F640, F640): read from
    // the edits at every operation.
    std::int32_t FileOffset = 0, DeviceOffset = 0, EndAddress = 0;

    // Powers the chip and leaves the design idle; false after an over-current fault.
    virtual bool FlashPowerUp() = 0;
    // True to go on with an operation.
    virtual bool CheckDeviceId() = 0;

protected:
    // The selected row, refused (with the device line's error) when the line is
    // not valid for the form.
    const AdapterRow& Row();
    virtual void FillVariantTable() = 0;

    // Setup's first part: the row built and checked (an invalid line shows its
    // message and nothing is sent), ResetPins, "Comm Err." or "OK ", FileNew,
    // shown. False when setup stops.
    bool SetupBegin();

    // ---- the window --------------------------------------------------------------------
    // The group `group` "Protection Register": the user words R1..R4 ("ffff"), R.
    // (Button4), W. (Button6) and the lock box LockStatus "加锁".
    static ControlRows ProtectionRegister(const char* group);

    // The counter value of a byte address: words on 16-bit rows.
    std::int32_t Unit(const AdapterRow& r, std::int32_t byteAddress) const {
        return r.Width == 16 ? byteAddress >> 1 : byteAddress;
    }
    // Refuses an odd Device offset on a 16-bit row (the counter counts words).
    void RequireWordAligned(const AdapterRow& r, std::int32_t deviceOffset);

    // The ID check of the forms that test contact first (P29F640, F640,
    // I27CX): "chkpin.bit" and the contact test with the row's masks for mem=,
    // the row's design again, then the ID (ReadId) compared on `bytes` bytes; a
    // difference asks `question`. In a batch it passes at once.
    bool CheckDeviceIdWithContact(int bytes, const std::string& question);
    // The ID check of the forms without contact test (MX29X161X, HN29AND).
    bool CheckDeviceIdPlain(int bytes, const std::string& question);
    // The form's ID read into LastReadId; false when the chip could not be powered.
    virtual bool ReadId() = 0;
    // After the row's design is loaded again (the design starts from scratch).
    virtual void AfterDesignReload() {}

    // The next chip of mass production, tested with the row's contact masks.
    bool NextChip();

    // ---- the End-address forms' 8 KiB block loops ---------------------------------------
    struct Span {
        std::int32_t device, file, end;  // first chip byte, first image byte, last chip byte
    };
    // The working offsets from the edits, checked: the Device offset inside the
    // chip (even on 16-bit rows), the end clipped to the chip's last byte.
    Span Offsets8K(const AdapterRow& r);
    // What the progress bar and the address field show while a loop runs: the
    // Device offset of the block, or the count of bytes done.
    enum class Progress { Device, Done };
    void Read8K(Progress shown);
    void Blank8K();
    void Verify8K(Progress shown);

    // Setup's view of the forms whose offsets window has Length (I27CX, MX29X161X,
    // HN29AND): the type in Edit7, the buffer window's end and Length at the
    // chip's `last` byte, the window shown. RangeCaption: "0 to %x" of `last`.
    void ShowLengthSetup(std::int32_t last);
    static std::string RangeCaption(std::int32_t last);

    // ---- what the End-address forms (P29F640, F640) and I27CX share -------------------
    // The row, its size for mem= and the supply of vcc= checked: the device line's
    // error text, or nothing.
    std::string RowSizeVccError() const;
    // Setup's tail of the End-address forms: the type as caption, the buffer
    // window's end, the offsets window from File offset 0 with Length the chip's
    // last byte (the Device offset kept), the working offsets, VCC from vcc=, the
    // row's ground, BatchFlag cleared.
    void EndAddressSetupTail(const AdapterRow& r);
    // The span of an End-address Write and its count of two-byte steps (at least
    // one), refused when the image does not hold them.
    Span WriteSpan(const AdapterRow& r, std::int64_t& steps);
    // The reply's first four bytes into LastReadId, the status "MFG ID=" with
    // `shown` of them.
    void ShowMfgId(int shown);
    // The protection register's user words from R1..R4, refused (nothing written)
    // when one does not parse.
    std::array<std::uint16_t, 4> ProtectionWordsFromEdits();
    // The user words through `write` at 85h on: words on 16-bit rows, low then high
    // byte on 8-bit rows; then `lockWord` at 80h when "LockStatus" is ticked (last:
    // once programmed the part takes no more user words).
    void WriteProtectionWords(const AdapterRow& r, const std::array<std::uint16_t, 4>& words,
                              std::uint16_t lockWord, const std::function<void(std::int32_t, std::uint16_t)>& write);
    // The end of every adapter Write: VCC off (sent twice, as the forms always
    // have), pins 28 and 26 low.
    void PowerDownAfterWrite();
    // BatchFlag set while a batch runs, cleared on every way out.
    class BatchScope {
    public:
        explicit BatchScope(bool& flag) : flag_(flag) { flag_ = true; }
        ~BatchScope() { flag_ = false; }
        BatchScope(const BatchScope&) = delete;
        BatchScope& operator=(const BatchScope&) = delete;

    private:
        bool& flag_;
    };

    // ---- the Length forms' loops (MX29X161X, HN29AND): from the offsets window's
    // Device offset on, stopping once a block reaches Device offset + Length -----------
    // Refuses a Device offset outside the chip and image indexes beyond 8 MiB for the
    // blocks of `blockBytes` such a loop reads.
    void RequireLengthSpan(int blockBytes);
    // Their Write: from the 256-byte boundaries below both offsets (chip0, file0)
    // to Device offset + Length, never past the chip's last byte, in `units` steps
    // of `unitBytes` (at least one). Refuses a Device offset outside the chip and
    // an image range of units x unitBytes + `extraBytes` that leaves the image.
    struct LengthSpan {
        std::int32_t chip0;
        std::int64_t file0, units;
    };
    LengthSpan LengthWriteSpan(int unitBytes, int extraBytes);
    void ReadLength(int blockBytes);  // into the image from the File offset
    void BlankLength();               // 8 KiB blocks
    void VerifyLength();              // 8 KiB blocks, compared whole
    // The power-up of the block-flash members: VCC off and on again at the pin, the
    // over-current check, the design idle, the counter at 0, the reading state.
    bool PowerUpIdle(std::uint8_t vccPin);
    // The one-pass batch of the Length forms: "Must open a file to write..." when "W."
    // (CheckBox3) is ticked without a buffer window; the ticked steps, "End OK.." and
    // the count after a clean pass.
    void RunLengthBatch(const std::vector<BatchStep>& steps);
};

}  // namespace quilla
