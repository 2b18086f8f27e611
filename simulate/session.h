// The simulated programmer as `quilla --simulate` runs it, in one place for the
// program and its tests: the programmer of the chosen model (with the
// simulated operator unless switched off; its run starts again with each
// operation the user starts), plugged into the virtual bus, the
// start-up connection (identification, default design, every output off), and
// the selection's seating: every dispatch seats a blank chip of the selected
// device line where the simulator has a model of it.
//
//   SimulatedSession s = StartSimulatedSession(wb, typeDlg, linkOptions);
//   // s.connection must outlive every use of wb.Ep3's link.
//
// The test bench seats its parts through SeatForDevice too, so both place a
// part (sub-40-pin parts, adapter parts) the same way.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/startup.h"
#include "sim/programmer.h"

namespace quilla {

struct Workbench;
class TTypeDlg;

// The simulated part of a device-list item: the item up to its first blank
// ("AT89C2051 [DIP]" -> "AT89C2051").
std::string SimulatedPartOf(const std::string& deviceItem);

// Seats a blank chip of the item's part, at the position its model gives for
// the programmer model; a chip of that part already seated stays (with what
// the user wrote into it). Where the simulator has no model of the part the
// socket is emptied. True when a chip of the part is seated.
bool SeatForDevice(sim::Programmer& programmer, const std::string& deviceItem);

// Tells the programmer's simulated operator whenever the user starts an
// operation (Workbench::OperationStarts): each run brings its chips afresh.
void FollowOperations(Workbench& wb, const std::shared_ptr<sim::Programmer>& programmer);

struct SimulatedSession {
    std::unique_ptr<ProgrammerConnection> connection;
    std::shared_ptr<sim::Programmer> programmer;
};

// What stands between the bus and the programmer (a test's tap); the
// identity when unset.
using SessionWrap = std::function<std::shared_ptr<Transport>(const std::shared_ptr<sim::Programmer>&)>;

// Starts the engine's link on a fresh simulated programmer (opts.simulate is
// taken as set), hooks the selection's BeforeDispatch to SeatForDevice and
// the workbench's operations to the operator (FollowOperations).
SimulatedSession StartSimulatedSession(Workbench& wb, TTypeDlg& dlg, const LinkOptions& opts,
                                       const SessionWrap& wrap = {});

}  // namespace quilla
