// Per-thread message queues: posted and sent messages, WM_QUIT, timers, and
// the waits that also return for queued input.
//
// A thread gets its queue on its first message call (PeekMessage,
// GetMessage, MsgWaitForMultipleObjects, CreateWindowEx, SetTimer). Posting
// to a thread that has none fails with ERROR_INVALID_THREAD_ID, as on
// Windows: a thread that expects posts calls PeekMessage(PM_NOREMOVE) first.
// Posting is safe from any thread, including threads this layer did not
// create (socket readers), and wakes the owner from a message-pumping wait.
// There is no keyboard or mouse input and nothing is painted.
#pragma once

#include "platform/base/winerror.h"
#include "platform/kernel/KernelObject.h"
#include "platform/kernel/Wait.h" // the WAIT_ results of the message-pumping waits

extern "C" {

struct POINT {
    LONG x;
    LONG y;
};
using LPPOINT = POINT*;

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
using LPMSG = MSG*;
using PMSG = MSG*;

using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_DEVICECHANGE = 0x0219;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
constexpr UINT PM_NOYIELD = 0x0002;

constexpr DWORD QS_KEY = 0x0001;
constexpr DWORD QS_MOUSEMOVE = 0x0002;
constexpr DWORD QS_MOUSEBUTTON = 0x0004;
constexpr DWORD QS_POSTMESSAGE = 0x0008;
constexpr DWORD QS_TIMER = 0x0010;
constexpr DWORD QS_PAINT = 0x0020;
constexpr DWORD QS_SENDMESSAGE = 0x0040;
constexpr DWORD QS_HOTKEY = 0x0080;
constexpr DWORD QS_ALLPOSTMESSAGE = 0x0100;
constexpr DWORD QS_RAWINPUT = 0x0400;
constexpr DWORD QS_MOUSE = QS_MOUSEMOVE | QS_MOUSEBUTTON;
constexpr DWORD QS_INPUT = QS_MOUSE | QS_KEY | QS_RAWINPUT;
constexpr DWORD QS_ALLEVENTS = QS_INPUT | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_HOTKEY;
constexpr DWORD QS_ALLINPUT = QS_INPUT | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_HOTKEY | QS_SENDMESSAGE;

constexpr DWORD MWMO_WAITALL = 0x0001;
constexpr DWORD MWMO_ALERTABLE = 0x0002;
constexpr DWORD MWMO_INPUTAVAILABLE = 0x0004;

constexpr UINT USER_TIMER_MINIMUM = 0x0000000A;
constexpr UINT USER_TIMER_MAXIMUM = 0x7FFFFFFF;

// Only messages whose hwnd is null (thread messages), as a PeekMessage filter.
inline HWND const HWND_THREAD_MESSAGES = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));

BOOL PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam);
// A null window posts to the calling thread's queue.
BOOL PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// On the window's own thread the window procedure is called directly. From
// another thread the message waits in the owner's queue until the owner
// pumps (PeekMessage, GetMessage), and the sender waits for the result,
// meanwhile serving messages sent to itself. 0 when the window is gone or
// its thread ends first.
LRESULT SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int nExitCode);

// hWnd null: any message of the thread; HWND_THREAD_MESSAGES: only thread
// messages; a window: only that window's. wMsgFilterMin and Max both 0:
// every message. Messages sent from other threads are delivered first.
// Order: posted messages, then a WM_QUIT of PostQuitMessage, then due
// timers (one WM_TIMER per timer, however many periods passed).
BOOL PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg);
BOOL PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg);
// Waits for a message: FALSE (0) for WM_QUIT, -1 for a window filter that
// names no window, else TRUE.
BOOL GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
BOOL GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
// There is no keyboard input to translate: always FALSE.
BOOL TranslateMessage(const MSG* lpMsg);
// Calls the window procedure (or the timer procedure of a WM_TIMER that
// carries one) and returns its result; thread messages are not dispatched.
// A WM_TIMER's procedure is called only when it is the procedure of a
// timer of this thread with that window and id: an address in a message
// someone posted is never jumped to.
LRESULT DispatchMessageW(const MSG* lpMsg);
LRESULT DispatchMessageA(const MSG* lpMsg);
// Blocks until the queue holds input.
BOOL WaitMessage();

// Timers tick on the installed clock and arrive as WM_TIMER through the
// queue of the thread that owns the window (or of the calling thread for a
// null window, which gets a fresh id).
UINT_PTR SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc);
BOOL KillTimer(HWND hWnd, UINT_PTR uIDEvent);

// Returns WAIT_OBJECT_0 + i for the lowest signalled handle,
// WAIT_OBJECT_0 + nCount when input of dwWakeMask is in the queue, counting
// input that was already waiting before the call, so a pumping loop never
// sleeps on queued messages. With bWaitAll, all handles must be signalled
// and input must be there. nCount may be 0.
DWORD MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles, BOOL fWaitAll, DWORD dwMilliseconds,
                                DWORD dwWakeMask);
DWORD MsgWaitForMultipleObjectsEx(DWORD nCount, const HANDLE* pHandles, DWORD dwMilliseconds, DWORD dwWakeMask,
                                  DWORD dwFlags);

} // extern "C"

namespace plat {

// A queue holds at most this many posted messages; a post beyond it fails
// with ERROR_NOT_ENOUGH_QUOTA (a stuck receiver cannot exhaust memory).
constexpr size_t kMaxPostedMessages = 10000;

// Makes sure the calling thread has a message queue (what PeekMessage with
// PM_NOREMOVE does as a side effect), so that others can post to it.
void EnsureThreadMessageQueue();

} // namespace plat
