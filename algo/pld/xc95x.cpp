#include "algo/pld/xc95x.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>
#include <vector>

#include "algo/common/scan.h"
#include "algo/common/window.h"
#include "app/svf.h"
#include "catalog/form.h"

namespace quilla {

using namespace proto;

namespace {

constexpr const char* kView = "RichEdit1";
constexpr std::uint16_t kLastTms[9] = {0x000, 0x003, 0x006, 0x00C, 0x018, 0x030, 0x060, 0x0C0, 0x180};

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Hex digits read as nibbles from the right into `bytes` bytes (least
// significant byte first); false on a character that is no hex digit.
bool Nibbles(const std::string& hex, std::uint8_t* out, int bytes) {
    std::fill(out, out + bytes, 0);
    int nib = 0;
    for (auto it = hex.rbegin(); it != hex.rend(); ++it) {
        if (std::isspace(static_cast<unsigned char>(*it))) continue;
        const int d = HexDigit(*it);
        if (d < 0) return false;
        if (nib / 2 < bytes) out[nib / 2] = static_cast<std::uint8_t>(out[nib / 2] | d << (4 * (nib % 2)));
        ++nib;
    }
    return true;
}

// The statement's words, with "( ... )" groups as one word each.
std::vector<std::string> Words(const std::string& s) {
    std::vector<std::string> w;
    std::size_t i = 0;
    while (i < s.size()) {
        if (std::isspace(static_cast<unsigned char>(s[i]))) {
            ++i;
            continue;
        }
        if (s[i] == '(') {
            const std::size_t close = s.find(')', i);
            const std::size_t end = close == std::string::npos ? s.size() : close + 1;
            w.push_back(s.substr(i, end - i));
            i = end;
            continue;
        }
        std::size_t j = i;
        while (j < s.size() && !std::isspace(static_cast<unsigned char>(s[j])) && s[j] != '(') ++j;
        w.push_back(s.substr(i, j - i));
        i = j;
    }
    return w;
}

bool IsNumber(const std::string& w, double& v) {
    if (w.empty()) return false;
    char* end = nullptr;
    v = std::strtod(w.c_str(), &end);
    return end && *end == 0;
}

// The text of a line without its "//" or "!" comment.
std::string WithoutComment(const std::string& line) {
    return line.substr(0, std::min(line.find("//"), line.find('!')));
}

// Whether any line holds something besides comments, blanks and ';'.
bool HasStatement(const std::vector<std::string>& lines) {
    for (const auto& l : lines)
        if (WithoutComment(l).find_first_not_of(" \t\r\f\v;") != std::string::npos) return true;
    return false;
}

ControlRows Window() {
    using namespace win;
    return Join({{Group({"GroupBox2", ""})},
                 In("GroupBox2", {PushButton({"Button1", "运行"}), Box({"CheckBoxVer", "Vrfy"})}),
                 {PushButton({"ID", "ID"}), PushButton({"Erase", "Erase"}), PushButton({"Blank", "Blank"}),
                  PushButton({"Button3", "Button3"}), Hidden(PushButton({"Button2", "ID"})),
                  PushButton({"Verify", "Vrfy."}), TextView(kView), Edit({"Edit1", "RunTest:"}, ""),
                  Progress("RdBar")}});
}

}  // namespace

TXc95x::TXc95x(Workbench& w) : AlgoForm(w, "Xc95x") {
    using F = TXc95x;
    DeclareControls(Window(), this,
                    {{"Button1", &F::Button1Click},
                     {"ID", &F::IDClick},
                     {"Erase", &F::EraseClick},
                     {"Blank", &F::BlankClick},
                     {"Button3", &F::Button3Click}});
}

void TXc95x::SetupForDevice() {
    Ep3.LoadBitFile("jtag1.bit");
    AlgoForm::Show();
}

void TXc95x::OnClose() { Ep3.PowerOff(); }

// ---- JTAG ------------------------------------------------------------------------------------

void TXc95x::JtagReset() {
    Ep3.WriteLatch(1, 8);
    Ep3.WriteLatch(0, 0);
    Ep3.WriteLatch(2, 0);
    Ep3.WriteLatch(3, 0x1F);
    Ep3.WriteLatch(4, 0);
    Ep3.WriteLatch(0, 1);
}

int TXc95x::QueueCapture(std::uint8_t op) {
    if (CaptureCount >= 64) return 0;
    Ep3.UsbPut1(op);
    ++CaptureCount;
    return 1;
}

void TXc95x::JtagScan(int flags, int n, const std::uint8_t* data) {
    Ep3.WriteLatch(1, 5);
    Ep3.WriteLatch(0, 0);
    Ep3.WriteLatch(3, (flags & ScanIr) ? 6 : 4);
    Ep3.WriteLatch(0, 1);
    Ep3.WriteLatch(1, 8);
    int left = n, i = 0;
    while (left > 8) {
        Ep3.WriteLatch(0, 0);
        Ep3.WriteLatch(2, data[i++]);
        Ep3.WriteLatch(0, 1);
        if (flags & ScanCapture) QueueCapture(OpCapturePort4);
        left -= 8;
    }
    const int r = left;
    Ep3.WriteLatch(1, r + 2);
    Ep3.WriteLatch(0, 0);
    Ep3.WriteLatch(2, data[i]);
    Ep3.WriteLatch(3, kLastTms[r] & 0xFF);
    Ep3.WriteLatch(4, kLastTms[r] >> 8);
    Ep3.WriteLatch(0, 1);
    Ep3.UsbPut1(OpNop);
    if (flags & ScanCapture) QueueCapture(OpCaptureLastTdo);
}

void TXc95x::HexField(const std::string& text, std::uint8_t* buf) {
    const std::size_t close = text.find(')');
    if (close == std::string::npos) return;
    std::size_t pos = close;  // the pair ends just before pos
    for (int k = 0; k < 64 && pos >= 2; ++k) {
        if (text[pos - 1] == '(' || text[pos - 2] == '(') break;
        const auto pair = [](char c) {
            const int u = std::toupper(static_cast<unsigned char>(c));
            return u > 0x40 ? u - 55 : u - 48;
        };
        buf[k] = static_cast<std::uint8_t>(pair(text[pos - 2]) * 16 + pair(text[pos - 1]));
        pos -= 2;
        if (pos >= 1 && text[pos - 1] == '(') break;
    }
}

void TXc95x::ScanHexText(int flags, int n, const std::string& text) {
    std::uint8_t buf[128] = {};
    HexField(text, buf);
    JtagScan(flags, n, buf);
}

void TXc95x::RunTestMicros(long long t) {
    auto showTotal = [this] { Put("Edit1", std::to_string(RunTestTotal / 1000) + " mS"); };
    if (t < 10) return;
    if (t < 100) {
        for (long long k = 0; k < t / 10; ++k) Ep3.UsbPut1(OpNop);
        RunTestTotal += t;
    } else if (t < 1000) {
        for (long long k = 0; k < t / 10; ++k) Ep3.UsbPut1(OpWaitPulse);
        RunTestTotal += t;
    } else if (t < 10000) {
        for (long long k = 0; k < t / 1000; ++k) Ep3.UsbPut1(OpWait1ms);
        RunTestTotal += t;
    } else if (t < 100000) {
        for (long long k = 0; k < t / 10000; ++k) {
            Ep3.UsbPut1(OpWaitSettle);
            RunTestTotal += 10000;
            showTotal();
        }
    } else {
        for (long long k = 0; k < t / 100000; ++k) {
            Ep3.UsbPut1(OpWait100ms);
            RunTestTotal += 100000;
            showTotal();
            Ep3.UsbFlush();
        }
    }
}

void TXc95x::AppendBytes(const std::uint8_t* b) {
    AppendLine(kView, Hex2(b[0]) + "," + Hex2(b[1]) + "," + Hex2(b[2]) + "," + Hex2(b[3]) + ",");
}

void TXc95x::ShowIdBytes() {
    CaptureCount = 0;
    Ep3.UsbReadReply();
    AppendBytes(Ep3.UsbReplyBuf.data());
}

// ---- the fixed sequences ------------------------------------------------------------------------

void TXc95x::Button3Click() {
    std::uint8_t b[128] = {};
    HexField("(12345678)", b);
    AppendBytes(b);
}

void TXc95x::IDClick() {
    ClearLines(kView);
    JtagReset();
    ScanHexText(ScanIr, 8, "(ff)");
    ScanHexText(ScanIr, 8, "(fe)");
    ScanHexText(ScanDr | ScanCapture, 32, "(00000000)");
    Ep3.UsbFlush();
    ShowIdBytes();
}

void TXc95x::EraseClick() {
    JtagReset();
    ScanHexText(ScanIr, 8, "(ff)");
    ScanHexText(ScanDr, 1, "(01)");
    ScanHexText(ScanIr, 8, "(fe)");
    ScanHexText(ScanDr, 32, "(00000000)");
    ScanHexText(ScanIr, 8, "(ff)");
    ScanHexText(ScanDr, 8, "(ff)");
    ScanHexText(ScanIr, 8, "(e8)");
    ScanHexText(ScanIr, 8, "(ec)");
    ScanHexText(ScanDr, 18, "(02a955)");
    Ep3.UsbPut1(OpWait100ms);
    ScanHexText(ScanDr, 18, "(02a957)");
    ScanHexText(ScanIr, 8, "(ed)");
    ScanHexText(ScanDr, 18, "(03ffff)");
    Ep3.UsbPut1(OpWait100ms);
    ScanHexText(ScanDr, 18, "(03ffff)");
    Ep3.UsbFlush();
    SuccessLine(kView, "Erase OK");
}

void TXc95x::BlankClick() {
    ClearLines(kView);
    Ep3.UsbReadReply();
    JtagReset();
    ScanHexText(ScanIr | ScanCapture, 8, "(ff)");
    ScanHexText(ScanIr, 8, "(fe)");
    ScanHexText(ScanDr | ScanCapture, 32, "(00000000)");
    Ep3.UsbReadReply();
    ScanHexText(ScanIr | ScanCapture, 8, "(ff)");
    ScanHexText(ScanIr, 8, "(e8)");
    ScanHexText(ScanDr, 6, "(00)");
    ScanHexText(ScanIr, 8, "(e8)");
    ScanHexText(ScanDr, 6, "(00)");
    ScanHexText(ScanIr, 8, "(e5)");
    ScanHexText(ScanDr, 18, "(000003)");
    Ep3.UsbPut1(OpWait1ms);
    Ep3.UsbReadReply();
    ScanHexText(ScanDr | ScanCapture, 18, "(000001)");
    ShowIdBytes();
    if (Ep3.UsbReplyBuf[0] == 1) SuccessLine(kView, "OK");
    else AppendLine(kView, "Not a blank device!");
}

// ---- the SVF player --------------------------------------------------------------------------------

bool TXc95x::ScanOnce(int kind, int n, bool compare, bool report) {
    JtagScan(kind | (compare ? ScanCapture : 0), n, SvfTdiBuffer.data());
    if (!compare) return true;
    CaptureCount = 0;
    Ep3.UsbReadReply();
    const auto& mask = kind == ScanIr ? SvfIrMask : SvfDrMask;
    const int bytes = std::max(1, (n + 7) / 8);
    for (int i = 0; i < bytes; ++i) {
        const std::uint8_t got = Ep3.UsbReplyBuf[static_cast<std::size_t>(i)];
        if ((got & mask[static_cast<std::size_t>(i)]) != (SvfTdoBuffer[static_cast<std::size_t>(i)] & mask[static_cast<std::size_t>(i)])) {
            char b[96];
            std::snprintf(b, sizeof b, "%dErr.: read=%02x,std=%02x,mask=%02x", i, got, SvfTdoBuffer[static_cast<std::size_t>(i)],
                          mask[static_cast<std::size_t>(i)]);
            if (report) AppendLine(kView, b);
            return false;
        }
    }
    return true;
}

bool TXc95x::ScanStatement(const std::string& statement, bool ir) {
    const std::vector<std::string> w = Words(statement);
    double len = 0;
    if (w.size() < 2 || !IsNumber(w[1], len) || len != std::floor(len)) return false;
    const int n = static_cast<int>(len);
    if (len < 1 || len > MaxScanBits) return false;
    const int bytes = (n + 7) / 8;
    std::map<std::string, std::string> fields;
    for (std::size_t i = 2; i + 1 < w.size(); i += 2) {
        const std::string key = Upper(w[i]);
        const std::string& val = w[i + 1];
        if (val.size() < 2 || val.front() != '(' || val.back() != ')') return false;
        if (key != "TDI" && key != "TDO" && key != "MASK" && key != "SMASK") return false;
        fields[key] = val.substr(1, val.size() - 2);
    }
    if ((w.size() - 2) % 2 != 0) return false;
    if (fields.count("TDI") && !Nibbles(fields["TDI"], SvfTdiBuffer.data(), bytes)) return false;
    const bool compare = fields.count("TDO") != 0;
    if (compare && !Nibbles(fields["TDO"], SvfTdoBuffer.data(), bytes)) return false;
    if (fields.count("MASK") && !Nibbles(fields["MASK"], (ir ? SvfIrMask : SvfDrMask).data(), bytes)) return false;
    if (ir) return ScanOnce(ScanIr, n, compare, true);
    // A data scan is tried up to 32 times (a chip still busy may answer late);
    // only the last try's mismatch is shown, one line for the failing compare.
    for (SdrTry = 0; SdrTry < SdrTries; ++SdrTry)
        if (ScanOnce(ScanDr, n, compare, SdrTry == SdrTries - 1)) return true;
    return false;
}

bool TXc95x::PlayStatement(const std::string& statement) {
    const std::vector<std::string> w = Words(statement);
    if (w.empty()) return true;
    const std::string key = Upper(w[0]);
    if (key == "SIR") return ScanStatement(statement, true);
    if (key == "SDR") return ScanStatement(statement, false);
    if (key == "RUNTEST") {
        std::size_t i = 1;
        if (i < w.size()) {
            const std::string s = Upper(w[i]);
            double v;
            if (!IsNumber(s, v)) {
                if (s != "IDLE") return false;
                ++i;
            }
        }
        double count = 0, seconds = 0;
        bool any = false;
        while (i < w.size()) {
            double v;
            if (!IsNumber(w[i], v) || v < 0) {
                const std::string s = Upper(w[i]);
                if (s == "ENDSTATE" && i + 1 < w.size() && Upper(w[i + 1]) == "IDLE") {
                    i += 2;
                    continue;
                }
                return false;
            }
            const std::string unit = i + 1 < w.size() ? Upper(w[i + 1]) : "";
            if (unit == "TCK" || unit == "SCK") {
                count = std::max(count, v);
                i += 2;
            } else if (unit == "SEC") {
                seconds = std::max(seconds, v);
                i += 2;
            } else if (unit == "MAXIMUM") {
                return false;
            } else {
                count = std::max(count, v);  // a bare count
                i += 1;
            }
            any = true;
        }
        if (!any) return false;
        const double t = std::max(4.0 * count, seconds * 1e6);
        RunTestMicros(static_cast<long long>(t));
        return true;
    }
    if (key == "STATE") {
        for (std::size_t i = 1; i < w.size(); ++i) {
            const std::string s = Upper(w[i]);
            if (s == "RESET") JtagReset();
            else if (s != "IDLE") return false;
        }
        return true;
    }
    if (key == "ENDIR" || key == "ENDDR") return w.size() == 2 && Upper(w[1]) == "IDLE";
    if (key == "HIR" || key == "HDR" || key == "TIR" || key == "TDR") {
        double v;
        return w.size() >= 2 && IsNumber(w[1], v) && v == 0;
    }
    // The clock here has one speed and the port no TRST line: these two have
    // no effect. PIO and PIOMAP need parallel pins the port does not have, and
    // a word that is no statement of the format is not played as if it were.
    return key == "FREQUENCY" || key == "TRST";
}

void TXc95x::Button1Click() {
    if (!wb.SvfFileW) {
        wb.prompts.ShowMessage("先打开.SVF文件才能执行操作!");
        return;
    }
    if (!SvfPlayable(wb)) {
        wb.prompts.ShowMessage("不是.SVF文件，不能执行操作!");
        return;
    }
    ClearLines(kView);
    const std::vector<std::string> lines = wb.SvfFileW->Lines;
    if (!HasStatement(lines)) {
        AppendLine(kView, "No SVF statement in " + wb.DataFileName + ": nothing was played");
        StepFailed();
        return;
    }
    Ep3.UsbReadReply();
    const int L = static_cast<int>(lines.size());
    SetProgress("RdBar", 0, L, 0);
    SvfIrMask.fill(0xFF);
    SvfDrMask.fill(0xFF);
    const int step = L / 50 + 1;
    JtagReset();
    RunTestTotal = 0;
    CaptureCount = 0;

    std::string statement;
    int first = -1;  // the statement's first line
    auto fail = [&](int line, const std::string& text) {
        AppendLine(kView, std::to_string(line + 1) + "行Err.:" + text);
        StepFailed();
    };
    for (int i = 0; i < L; ++i) {
        if (i % step == 0) {
            Ep3.UsbFlush();
            SetProgress("RdBar", 0, L, i);
        }
        std::string line = lines[static_cast<std::size_t>(i)];
        if (!line.empty() && line[0] == '/') AppendLine(kView, line);
        line = WithoutComment(line);
        std::size_t from = 0;
        for (;;) {
            const std::size_t semi = line.find(';', from);
            const std::string piece = line.substr(from, semi == std::string::npos ? std::string::npos : semi - from);
            if (first < 0 && piece.find_first_not_of(" \t\r") != std::string::npos) first = i;
            statement += (statement.empty() ? "" : " ") + piece;
            if (semi == std::string::npos) break;
            if (first >= 0 && !PlayStatement(statement)) {
                fail(first, statement);
                return;
            }
            statement.clear();
            first = -1;
            from = semi + 1;
        }
    }
    if (first >= 0 && !PlayStatement(statement)) {
        fail(first, statement);
        return;
    }
    Ep3.UsbFlush();
    SetProgress("RdBar", 0, L, L);
    SuccessLine(kView, "OK");
}

QUILLA_FORM(TXc95x);

}  // namespace quilla
