#include "app/stamps.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "app/numparse.h"
#include "app/workbench.h"

namespace quilla {

std::optional<std::int32_t> ParseNumber(const Options& o, const std::string& text) {
    return o.NumberBase == 0 ? ParseHex32(text) : ParseDec32(text);
}

std::string FormatNumber(const Options& o, std::int32_t value) {
    char buf[16];
    if (o.NumberBase == 0) std::snprintf(buf, sizeof buf, "%x", static_cast<std::uint32_t>(value));
    else std::snprintf(buf, sizeof buf, "%d", value);
    return buf;
}

std::string StampDateText(const Options& o) {
    if (o.StampClock) return o.StampClock();
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[64];
    std::size_t n = std::strftime(buf, sizeof buf, "%x %X", &local);
    return std::string(buf, n);
}

namespace {

// Writes `count` bytes from `start`, skipping those outside the image.
template <typename ByteAt>
void PutBytes(std::vector<std::uint8_t>& image, std::int64_t start, std::int64_t count, ByteAt byteAt) {
    const std::int64_t size = static_cast<std::int64_t>(image.size());
    const std::int64_t first = std::max<std::int64_t>(0, -start);
    const std::int64_t last = std::min<std::int64_t>(count, size - start);
    for (std::int64_t i = first; i < last; ++i) image[static_cast<std::size_t>(start + i)] = byteAt(i);
}

}  // namespace

bool ApplyStamps(Workbench& wb, bool inBatch) {
    Options& o = wb.options;
    if (!o.SerialStamp && !o.DateStamp) return true;

    // Every field of a ticked stamp must read before anything is written.
    std::optional<std::int32_t> start, value, count, step, dateStart;
    struct Field {
        const char* caption;
        const std::string* text;
        bool ok;
    };
    std::vector<Field> fields;
    if (o.SerialStamp) {
        start = ParseNumber(o, o.SerialStart);
        value = ParseNumber(o, o.SerialValue);
        count = StrToInt32(o.SerialLength);
        step = StrToInt32(o.SerialStep);
        fields.push_back({"Start:    ", &o.SerialStart, start.has_value()});
        fields.push_back({"初始数值:", &o.SerialValue, value.has_value()});
        fields.push_back({"Byte长度:", &o.SerialLength, count.has_value()});
        fields.push_back({"增量:", &o.SerialStep, step.has_value()});
    }
    if (o.DateStamp) {
        dateStart = ParseNumber(o, o.DateStart);
        fields.push_back({"Start:    ", &o.DateStart, dateStart.has_value()});
    }
    for (const Field& f : fields) {
        if (f.ok) continue;
        wb.prompts.ShowMessage(std::string("Stamps not written: the field \"") + f.caption + "\" reads \"" +
                               *f.text + "\", which is not a number in the chosen base");
        if (inBatch) wb.ErrorFlag() = 1;
        return false;
    }

    if (o.SerialStamp) {
        const std::int32_t v = static_cast<std::int32_t>(static_cast<std::uint32_t>(*value) +
                                                         static_cast<std::uint32_t>(*step));
        o.SerialValue = FormatNumber(o, v);
        PutBytes(wb.ImageBuffer, *start, *count, [v](std::int64_t i) {
            return static_cast<std::uint8_t>(i < 4 ? (v >> (8 * i)) & 0xFF : (v < 0 ? 0xFF : 0x00));
        });
        if (wb.FileWin) wb.Display();
    }
    if (o.DateStamp) {
        o.DateText = StampDateText(o);
        const std::string text = o.DateText;
        PutBytes(wb.ImageBuffer, *dateStart, DateStampSize, [&text](std::int64_t i) {
            return static_cast<std::uint8_t>(i < static_cast<std::int64_t>(text.size()) ? text[i] : 0);
        });
        if (wb.FileWin) wb.Display();
    }
    return true;
}

}  // namespace quilla
