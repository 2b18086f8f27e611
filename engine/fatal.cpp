#include "engine/fatal.h"

#include <atomic>
#include <cstdio>
#include <unistd.h>

namespace quilla {
namespace {
std::function<void(const std::string&)>& Sink() {
    static std::function<void(const std::string&)> sink;
    return sink;
}
std::atomic<int> interceptDepth{0};
}  // namespace

void SetFatalMessageSink(std::function<void(const std::string&)> sink) { Sink() = std::move(sink); }

[[noreturn]] void FatalLinkEnd(const std::string& message, int status) {
    if (interceptDepth.load() > 0) throw FatalExit(message, status);
    if (Sink()) {
        Sink()(message);
    } else {
        std::fprintf(stderr, "%s\n", message.c_str());
    }
    std::fflush(nullptr);
    _exit(status);
}

FatalIntercept::FatalIntercept() { ++interceptDepth; }
FatalIntercept::~FatalIntercept() { --interceptDepth; }

}  // namespace quilla
