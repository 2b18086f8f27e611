// The status window's buttons, headless: each writes the window's output line
// Edit4 (the Qt window shows it through StatusView).
#include <sys/utsname.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "engine/ep3.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int SerialCodeBytes = 24;
constexpr std::uint32_t SerialCodeOffset = 10;

// Reads a decimal number at s[i]; 0 when there is none. Advances i.
int ReadNumber(const std::string& s, std::size_t& i) {
    long v = 0;
    bool any = false;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        if (v < 100000000) v = v * 10 + (s[i] - '0');
        ++i;
        any = true;
    }
    return any ? static_cast<int>(v) : 0;
}

}  // namespace

std::string FormatOsInfo(const std::string& sysname, const std::string& release,
                         const std::string& version) {
    // release: major.minor[.patch][(.|-)build...]
    int part[4] = {0, 0, 0, 0};
    std::size_t i = 0;
    for (int k = 0; k < 4; ++k) {
        if (k > 0) {
            if (i >= release.size()) break;
            const char sep = release[i];
            const bool separator = k < 3 ? sep == '.' : (sep == '.' || sep == '-');
            if (!separator || i + 1 >= release.size() ||
                !std::isdigit(static_cast<unsigned char>(release[i + 1])))
                break;
            ++i;
        }
        part[k] = ReadNumber(release, i);
    }
    std::string text = sysname;
    if (!version.empty()) text += " " + version;
    char head[64];
    std::snprintf(head, sizeof head, "%d.%d.%d.%d.", part[0], part[1], part[2], part[3]);
    return head + text;
}

void TEp3::SetEdit4(const std::string& text) {
    Edit4 = text;
    if (StatusWin) StatusWin->Edit4Changed(Edit4);
}

void TEp3::ShowPlain(const std::string& text) {
    prompts_.Message(text, "Quilla", MsgKind::Plain, BtnOk);
}

void TEp3::Button1Click() {
    struct utsname u;
    if (uname(&u) != 0) {
        SetEdit4(FormatOsInfo("Linux", "", ""));
        return;
    }
    SetEdit4(FormatOsInfo(u.sysname, u.release, u.version));
}

bool TEp3::IdentifyExchange() {
    SysCmd(SysIdentify, 0);
    UsbPut1(OpReply);
    UsbFlush();
    return UsbTryRead(UsbReplyBuf.data(), ReplySize) == ReplySize;
}

int TEp3::ReadProgrammerId() {
    SetEdit4("");
    const bool answered = IdentifyExchange();
    UsbReplyBuf[16] = 0;
    if (!answered) {
        SetEdit4("Link error..");
        return 0;
    }
    const char* text = reinterpret_cast<const char*>(UsbReplyBuf.data());
    SetEdit4(std::string(text, strnlen(text, 16)));
    return 1;
}

void TEp3::typeClick() { ReadProgrammerId(); }

void TEp3::SNClick() {
    for (int i = 0; i < SerialCodeBytes; ++i) UsbPut2(OpSerialCode, static_cast<std::uint8_t>(i));
    UsbReadReply();
    const std::uint32_t value = static_cast<std::uint32_t>(UsbReplyBuf[0]) |
                                static_cast<std::uint32_t>(UsbReplyBuf[1]) << 8 |
                                static_cast<std::uint32_t>(UsbReplyBuf[2]) << 16 |
                                static_cast<std::uint32_t>(UsbReplyBuf[3]) << 24;
    char hex[16];
    std::snprintf(hex, sizeof hex, "%04x", static_cast<unsigned>(value + SerialCodeOffset));
    SetEdit4(hex);
}

}  // namespace quilla
