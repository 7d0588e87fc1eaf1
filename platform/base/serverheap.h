// The heap of a process that serves other processes.
#pragma once

namespace plat {

// Puts every thread of the process on one malloc heap, and keeps large
// blocks (bands) in it rather than mapping each one afresh; TrimHeap gives
// what the heap no longer uses back to the system.
//
// glibc gives each new thread a heap of its own, and returns freed memory
// at the top of such a heap only when a later free in that heap finds more
// than its (growing) trim threshold there; only the main heap can be
// trimmed at will. A server whose calls and connection threads allocate in
// heaps of their own would keep for good what a peer that was cut off had
// made it take. Called where a process starts serving (a service's control
// dispatcher, a class published to other processes), before its serving
// threads exist.
void ServeFromOneHeap();
// Gives the free memory of the heap back to the system.
void TrimHeap();

} // namespace plat
