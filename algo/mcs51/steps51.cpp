#include "algo/mcs51/steps51.h"

#include <algorithm>
#include <utility>

namespace quilla {

using namespace proto;

Step51 steps51::Pins(std::initializer_list<std::vector<Level51>> parts) {
    std::vector<Level51> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return Pins(std::move(all));
}

Steps51 steps51::Join(std::initializer_list<Steps51> lists) {
    Steps51 all;
    for (const auto& l : lists) all.insert(all.end(), l.begin(), l.end());
    return all;
}

bool Steps51Form::Run(const Steps51& steps) {
    return std::all_of(steps.begin(), steps.end(), [this](const Step51& s) { return Step(s); });
}

bool Steps51Form::OwnStep(int) { return true; }

bool Steps51Form::Step(const Step51& s) {
    using enum Do51;
    const int n = std::max(s.N, 1);  // a count
    switch (s.Do) {
        case PowerUp: PowerUp51(); break;
        case PreCheck: return PreCheck51() != 0;
        case IdCheck: return CheckDeviceId() != 0;
        case Own: return OwnStep(s.N);
        case Repeat:
            for (int i = 0; i < n; ++i)
                if (!Run(*s.Sub)) return false;
            break;
        case Contact: return ContactTest();
        case Contact40: return DipContact51();
        case PairCheck: break;  // no pin-pair command: nothing to send, nothing that fails
        case NeedFile: return NeedFileWindow();
        case NeedFileFirst: return NeedFileWindow("Must open a file first....");
        case ShowStatus: Status(s.Text); break;
        case ReadMode: Ep3.SetPortMode(PortMode51Read); break;
        case ResetMode: Ep3.SetPortMode(PortModeReset); break;
        case Latch3: Ep3.WriteLatch(3, static_cast<std::uint8_t>(s.N)); break;
        case PinOptions: for (const Level51& l : s.Pins) Ep3.SetPinOption(l.Pin, l.High ? 1 : 0); break;
        case SetPins: Mcs51Form::SetPins(s.Pins); break;
        case Clock: Ep3.ClockPin(s.N); break;
        case AllPins: Ep3.SetAllPins(s.N); break;
        case Address: StepAddress51(s.N + s.M * RunBox51); break;
        case NextAddress: NextAddress51(); break;
        case Sample: Put1(OpSampleData51); break;
        case ReadBlock: Mcs51Form::ReadBlock(Ep3.UsbReplyBuf.data() + s.N); break;
        case ReadReply: Ep3.UsbReadReply(Ep3.UsbReplyBuf.data()); break;
        case PutData: Ep3.UsbPut2(OpPutData51, static_cast<std::uint8_t>(s.N)); break;
        case WaitPulse: Waits(OpWaitPulse, n); break;
        case Wait100us: Waits(OpWait100us, n); break;
        case Wait1ms: Waits(OpWait1ms, n); break;
        case WaitSettle: Waits(OpWaitSettle, n); break;
        case Wait100ms: Waits(OpWait100ms, n); break;
        case Flush: Mcs51Form::Flush(); break;
        case ClearError: wb.ErrorFlag() = 0; break;
        case CheckCurrent: return Ep3.CheckCurrent() != 0;
        case Ground: Ep3.GndPin(s.N ? s.N : GndPinNo); break;
        case VccOn: Ep3.VccPin(s.N ? s.N : VccPinNo); break;
        case VppOn: Ep3.VppPin(s.N ? s.N : VppPinNo); break;
        case GroundOff: Ep3.GndPin(0); break;
        case VccOff: Ep3.VccPin(0); break;
        case VppOff: Ep3.VppPin(0); break;
        case Off: SuppliesOff(); break;
        case VppLevel: Ep3.SetVpp(s.N); break;
        case VccLevel: Ep3.SetVcc(s.N ? s.N : VccMv51); break;
        case VppSupply: Ep3.VppSupplyPin(s.N); break;
        case VppPinOff: Ep3.VppPinOff(s.N ? s.N : VppPinNo); break;
        case Bar: SetProgress(kProgress, 0, 10, s.N); break;
        default: return FlowStep(s);
    }
    return true;
}

// ---- the flash flows' base ----

Flow51Form::Flow51Form(Workbench& w, std::string caption, std::vector<int> highPins, const std::vector<int>& modePins,
                       const Steps51& pulse)
    : Steps51Form(w, std::move(caption), std::move(highPins)), modePins_(modePins), pulse_(pulse) {}

bool Flow51Form::Run(const Steps51& steps, Args51 args, int box) {
    args_ = args;
    RunBox51 = box;
    const bool ok = Run(steps);
    args_ = {};
    RunBox51 = 0;
    return ok;
}

void Flow51Form::ProgramByte51(std::uint8_t v) {
    Ep3.UsbPut2(OpPutData51, v);
    Run(pulse_);
}

void Flow51Form::BusWrite(std::int32_t a, std::uint8_t d) {
    StepAddress51(a);
    ProgramByte51(d);
}

void Flow51Form::ReadRest51(const Mcs51Row& r, const Steps51& end) {
    ReadImage51(r);
    ShowProgress(r.LastAddress);
    Run(end);
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void Flow51Form::WriteRest51(const Mcs51Row& r, const Steps51& end) {
    WriteAll(r);
    ShowProgress(r.LastAddress);
    Run(end);
    Success("OK");
}

bool Flow51Form::FlowStep(const Step51& s) {
    using enum Do51;
    const auto u8 = [](int v) { return static_cast<std::uint8_t>(v); };
    const auto arg = [this, &s] { return args_[static_cast<std::size_t>(s.N)]; };
    switch (s.Do) {
        case ModeDigits:
            for (std::size_t i = 0; i < modePins_.size() && s.Text[i]; ++i) Ep3.SetPin(s.Text[i] == '1', modePins_[i]);
            break;
        case PortMode: Ep3.SetPortMode(s.N); break;
        case WaitOp: Waits(u8(s.N), s.M); break;
        case Latch0: Ep3.WriteLatch(0, u8(s.N)); break;
        case PutArg: Ep3.UsbPut2(OpPutData51, arg()); break;
        case Program: ProgramByte51(u8(s.N)); break;
        case ProgramArg: ProgramByte51(arg()); break;
        case BusCycle: BusWrite(s.N, u8(s.M)); break;
        case ProgressAt: SetProgress(kProgress, 0, s.M, s.N); break;
        case ShowLast: ShowProgress(Row().LastAddress); break;
        case RepeatLine:
            for (int i = LineRepeats51(); i > 0; --i)
                if (!Run(*s.Sub)) return false;
            break;
        default: break;
    }
    return true;
}

}  // namespace quilla
