// Intel-command parallel flash in the 32-pin socket position: commands are
// single bus write cycles (latch 2 strobed by 0x2B, or a WE pulse on socket 35),
// no unlock cycles. TPi28fxxx (keyword PI28F: 28F256A-28F020, erase by
// repeated 20h 20h pulses with an A0h erase verify of address 0), TPi28f001x
// (PI28F001: the 28F001BX boot-block parts, block erase 20h D0h with status
// polling, 12 V on OE for the boot block) and TSst28vf040 (SST28VF040: the
// SST28SF040A, unprotected by seven reads, chip or 256-byte sector erase, a
// mass-production batch) share Pi28Form: the 32-pin address routing, the
// 40h + data byte program (10h on the SST part, its datasheet's set-up code)
// with no wait between bytes, the read-back and the batch.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "algo/memory/socket_form.h"

namespace quilla {

// The family's own columns of a device row (beside VariantRecord's): the boot
// pin and boot range of the boot-block rows and their erase blocks.
struct Pi28Columns {
    std::uint8_t BootPin = 0;                             // socket pin given VPP for the boot block
    std::vector<std::pair<std::int32_t, std::int32_t>> Blocks{};  // (size in KiB, count) from address 0
    std::int32_t BootFirst = -1, BootLast = -1;           // -1, -1: no boot block
};

class Pi28Form : public SocketForm {
public:
    Pi28Form(Workbench& wb, std::string caption);

    void EraseClick() override = 0;
    void Button1Click() override;
    std::vector<Pi28Columns> Columns;  // beside Table, row for row

protected:
    std::vector<int> HighAddressPins() const override { return FlashHighPins32(); }
    void AfterHighAddressPins() override { Ep3.PinHigh(35); }
    bool WriteBlockBegin(const VariantRecord& r) override;
    void ProgramBlock(const VariantRecord& r, const Block& b) override;
    bool ReadBack(const VariantRecord& r, const Block& b) override;
    std::vector<BatchStep> BatchSteps() override;

    // The set-up code written before each byte's data.
    std::uint8_t ProgramSetup = 0x40;
    // The batch is one pass (else the mass-production batch of the frame).
    bool OnePass = true;

    // The tables and their columns empty but for the placeholder row 0 "???".
    void StartTable();
    // The end of setup: caption (unless kept), type, buffer window, Length, offsets.
    void ShowRow(const VariantRecord& r, bool caption);
};

class TPi28fxxx : public Pi28Form {
public:
    explicit TPi28fxxx(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;
    void EraseClick() override;

    static constexpr int kMaxPulses = 101;  // pulses 0..100
    static constexpr int kFirstVerify = 20; // the verify read from this pulse on
};

class TPi28f001x : public Pi28Form {
public:
    explicit TPi28f001x(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;
    void EraseClick() override;
    void OnClose() override;

    // The status byte of the last block erase's poll (for tests).
    std::uint8_t LastStatus() const { return lastStatus_; }

protected:
    bool PowerUp(const VariantRecord& r) override;
    bool WriteBegin(const VariantRecord& r) override;
    void ProgramBlock(const VariantRecord& r, const Block& b) override;

private:
    const Pi28Columns& Cols() const;
    void ResetSocket();
    void WriteCycle(std::int32_t address, std::uint8_t value);
    std::uint8_t PollStatus();
    std::uint8_t EraseBlock(const VariantRecord& r, std::int32_t address);
    void SwitchBootVpp(const VariantRecord& r, std::int32_t address);

    int bootFlag_ = 0;
    std::uint8_t lastStatus_ = 0;
};

class TSst28vf040 : public Pi28Form {
public:
    explicit TSst28vf040(Workbench& wb);
    void SetupForDevice() override;
    void FillVariantTable() override;
    void EraseClick() override;

    void SdpUnprotectReads();

protected:
    bool WriteBegin(const VariantRecord& r) override;

private:
    void CommandCycle(std::uint8_t value);
};

}  // namespace quilla
