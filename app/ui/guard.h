// Every event handler of the program's windows runs through Guarded: an
// exception raised inside it is shown in a message box and the program keeps
// running. A fatal link end is not an error of the handler and passes through
// (tests intercept it; in the program it never returns).
#pragma once

#include <exception>
#include <string>
#include <utility>

#include "engine/fatal.h"
#include "engine/prompts.h"

namespace quilla {

template <class F>
bool Guarded(Prompts& prompts, F&& handler) {
    try {
        std::forward<F>(handler)();
        return true;
    } catch (const FatalExit&) {
        throw;
    } catch (const std::exception& e) {
        prompts.Message(e.what(), Prompts::AppTitle, MsgKind::Error, BtnOk);
    } catch (...) {
        prompts.Message("Unknown error.", Prompts::AppTitle, MsgKind::Error, BtnOk);
    }
    return false;
}

}  // namespace quilla
