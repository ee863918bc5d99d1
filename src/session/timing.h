#pragma once
// The session's clock: the tick, and the settling time after a table write.

namespace session {

// The tick: once a second.
inline constexpr int TickMs = 1000;

// A table write, then the mode: the sensor needs time to settle after taking
// a table before it takes the mode again. The window asks for the mode on the
// second tick after the write (Session::scheduleModeAfterTableWrite); a
// scripted run (the profile apply, lv300ctl) waits as long after the table's
// answer (session::pause).
inline constexpr int TableSettleTicks = 2;
inline constexpr int TableSettleMs = TableSettleTicks * TickMs;

} // namespace session
