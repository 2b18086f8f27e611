// The one way a broken link ends the program: the message is shown and the
// process ends at once with exit status 1 (no close handler, no configuration
// write). Tests install an intercept that throws FatalExit instead, so the
// call never returns to its caller either way.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>

namespace quilla {

struct FatalExit : std::runtime_error {
    FatalExit(const std::string& msg, int status)
        : std::runtime_error(msg), message(msg), status(status) {}
    std::string message;
    int status;
};

// Shows `message` (plain message box, OK button) and ends the process with
// `status`. Never returns.
[[noreturn]] void FatalLinkEnd(const std::string& message, int status = 1);

// How the message is shown before the end (the Qt program installs a message
// box; the default writes to standard error).
void SetFatalMessageSink(std::function<void(const std::string&)> sink);

// Test seam: while a FatalIntercept lives, FatalLinkEnd throws FatalExit.
class FatalIntercept {
public:
    FatalIntercept();
    ~FatalIntercept();
    FatalIntercept(const FatalIntercept&) = delete;
    FatalIntercept& operator=(const FatalIntercept&) = delete;
};

}  // namespace quilla
