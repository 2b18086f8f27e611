#include "algo/mcs51/script51.h"

namespace quilla {

using namespace proto;

Script51Form::Script51Form(Workbench& w, std::string caption, std::vector<int> highPins,
                           const std::vector<int>& modePins, const Script51& pulse)
    : Mcs51Form(w, std::move(caption), std::move(highPins)), modePins_(modePins), pulse_(pulse) {}

void Script51Form::ProgramByte51(std::uint8_t v) {
    Ep3.UsbPut2(OpPutData51, v);
    Run51(pulse_);
}

void Script51Form::BusWrite(std::int32_t a, std::uint8_t d) {
    Address51(a);
    ProgramByte51(d);
}

void Script51Form::ReadRest51(const Mcs51Row& r, const Script51& end) {
    ReadAll(r);
    ShowProgress(r.LastAddress);
    Run51(end);
    Success("OK");
    wb.Display();
    AlgoForm::Show();
}

void Script51Form::WriteRest51(const Mcs51Row& r, const Script51& end) {
    WriteAll(r);
    ShowProgress(r.LastAddress);
    Run51(end);
    Success("OK");
}

void Script51Form::WriteAll(const Mcs51Row& r) {
    PageLoop51(r, [this](std::uint8_t v) { ProgramByte51(v); });
}

bool Script51Form::Run51(const Script51& steps, Args51 args, int box) {
    return Run51(steps.data(), steps.data() + steps.size(), args, box);
}

bool Script51Form::Run51(const Script51Step* s, const Script51Step* last, const Args51& args, int box) {
    for (; s < last; ++s) {
        if (s->K != Script51Step::Repeat) {
            if (!Step51(*s, args, box)) return false;
            continue;
        }
        const Script51Step* body = s + 1;
        int times = s->B >= 0 ? s->B : LineRepeats51();
        s += s->A;
        for (; times > 0; --times)
            if (!Run51(body, s + 1, args, box)) return false;
    }
    return true;
}

bool Script51Form::Step51(const Script51Step& s, const Args51& args, int box) {
    const auto u8 = [](int v) { return static_cast<std::uint8_t>(v); };
    const auto arg = [&args](int i) { return args[static_cast<std::size_t>(i)]; };
    switch (s.K) {
        case Script51Step::Level: Ep3.SetPin(s.B, s.A); break;
        case Script51Step::Mode:
            for (std::size_t i = 0; i < modePins_.size() && s.Text[i]; ++i) Ep3.SetPin(s.Text[i] == '1', modePins_[i]);
            break;
        case Script51Step::Port: Ep3.SetPortMode(s.A); break;
        case Script51Step::Option: Ep3.SetPinOption(s.A, s.B); break;
        case Script51Step::OptionsOff:
            for (int p = s.A; p <= s.B; ++p) Ep3.SetPinOption(p, 0);
            break;
        case Script51Step::Clock: Ep3.ClockPin(s.A); break;
        case Script51Step::Gnd: Ep3.GndPin(GndPinNo); break;
        case Script51Step::Vcc: Ep3.VccPin(s.A ? VccPinNo : 0); break;
        case Script51Step::Vpp: Ep3.VppPin(s.A ? VppPinNo : 0); break;
        case Script51Step::VccMv: Ep3.SetVcc(s.A); break;
        case Script51Step::VppMv: Ep3.SetVpp(s.A); break;
        case Script51Step::Off: SuppliesOff(); break;
        case Script51Step::AllLow: Ep3.SetAllPins(0); break;
        case Script51Step::Wait: Waits(u8(s.A), s.B); break;
        case Script51Step::Flush: Flush(); break;
        case Script51Step::Current: return Ep3.CheckCurrent() != 0;
        case Script51Step::Contact: return ContactTest();
        case Script51Step::PairCheck: Ep3.PinPairOk(19, 18); break;
        case Script51Step::FileWindow: return NeedFileWindow();
        case Script51Step::Say: Status(s.Text); break;
        case Script51Step::Address: Address51(s.A + s.B * box); break;
        case Script51Step::Data: Ep3.UsbPut2(OpPutData51, u8(s.A)); break;
        case Script51Step::DataArg: Ep3.UsbPut2(OpPutData51, arg(s.A)); break;
        case Script51Step::Latch0: Ep3.WriteLatch(0, u8(s.A)); break;
        case Script51Step::Program: ProgramByte51(u8(s.A)); break;
        case Script51Step::ProgramArg: ProgramByte51(arg(s.A)); break;
        case Script51Step::Bus: BusWrite(s.A, u8(s.B)); break;
        case Script51Step::ReadBlock: Mcs51Form::ReadBlock(Ep3.UsbReplyBuf.data()); break;
        case Script51Step::Progress: SetProgress(kProgress, 0, s.B, s.A); break;
        case Script51Step::ShowLast: ShowProgress(Row().LastAddress); break;
        case Script51Step::PowerUp: PowerUp51(); break;
        case Script51Step::PreCheck: return PreCheck51();
        default: return FormStep51(s);
    }
    return true;
}

}  // namespace quilla
