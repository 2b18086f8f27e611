// FPGA design loading: the design file's header is skipped, the configuration
// data goes out in packets of 60 bytes, each packet in a transfer of its own,
// framed by the start and end system commands.
#include <cstdio>
#include <vector>

#include "engine/ep3.h"
#include "engine/fatal.h"

namespace quilla {

using namespace proto;

namespace {

constexpr int HeaderScan = 100;   // bytes searched for the first 0xFF
constexpr int MaxPackets = 136;   // 8,160 bytes of configuration data at most

// The bytes the loader can ever send: the header it scans and 136 packets.
constexpr long MaxUsefulBytes = HeaderScan + static_cast<long>(MaxPackets) * DesignDataBytes;

std::string DesignPath(const std::string& programDir, const std::string& name) {
    std::string dir = programDir;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir + "BLib/" + name;
}

// Offset of the configuration data: the first 0xFF among the first 100 bytes;
// without one, the byte before the last one scanned (offset 99 for a long file).
std::size_t DataStart(const std::vector<std::uint8_t>& file) {
    const std::size_t scanned = file.size() < HeaderScan ? file.size() : HeaderScan;
    for (std::size_t i = 0; i < scanned; ++i)
        if (file[i] == 0xFF) return i;
    return scanned == 0 ? 0 : scanned - 1;
}

}  // namespace

void TEp3::LoadBitFile(const std::string& name) {
    if (Connected == 0 || IsModel("vex310")) return;

    std::FILE* f = std::fopen(DesignPath(ProgramDir, name).c_str(), "rb");
    if (f == nullptr) {
        // The link still works: leave the programmer with its supplies off.
        EmergencyPowerOff();
        FatalLinkEnd("缺文件(bit)!", 1);
    }
    std::vector<std::uint8_t> file;
    file.reserve(static_cast<std::size_t>(MaxUsefulBytes));
    std::uint8_t chunk[4096];
    while (static_cast<long>(file.size()) < MaxUsefulBytes) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, f);
        if (got == 0) break;
        file.insert(file.end(), chunk, chunk + got);
    }
    std::fclose(f);
    if (static_cast<long>(file.size()) > MaxUsefulBytes) file.resize(static_cast<std::size_t>(MaxUsefulBytes));

    std::size_t pos = DataStart(file);

    SysCmd(SysDesignStart, 0);
    for (int packet = 0; packet < MaxPackets; ++packet) {
        // The queue is empty here, so the packet fills one 64-byte USB packet.
        UsbPut4(OpSystem, SysDesignData, 0, 0);
        for (int i = 0; i < DesignDataBytes; ++i, ++pos)
            UsbPut1(pos < file.size() ? file[pos] : 0x00);
        UsbFlush();
        if (pos > file.size()) break;  // the 60th byte lay past the end of the file
    }

    SysCmd(SysDesignEnd, 0);
    if (UsbReadReply() == 0) ShowPlain("Load bit status error!");
    VppPin(0);
}

}  // namespace quilla
