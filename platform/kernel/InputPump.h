// A thread's pump of a window back end. A thread whose windows a toolkit
// shows on a display has that toolkit's events to run as well as its own
// message queue: every message peek and every wait for messages of that
// thread runs the pump, so the display's input reaches the queue and the
// windows are drawn while the thread waits, as on a system whose queue is
// fed by the display itself.
#pragma once

namespace plat {

// Runs what the toolkit has pending (input, drawing) without blocking. It
// is called outside the kernel lock and may post or send messages.
using InputPump = void (*)();

// Installs (or, with null, removes) the calling thread's pump.
void SetThreadInputPump(InputPump pump);
InputPump ThreadInputPump();

// How often, in real time, a wait for messages runs its thread's pump.
inline constexpr unsigned kInputPumpSliceMs = 10;

} // namespace plat
