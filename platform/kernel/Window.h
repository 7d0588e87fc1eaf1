// Windows as message targets: a registered class, a window procedure, a few
// attributes and extra bytes. Nothing is drawn; the windows the drivers make
// are hidden or message-only, and serve to receive messages and timers.
#pragma once

#include "platform/base/winerror.h"
#include "platform/kernel/Messages.h"

struct HICON__;
using HICON = HICON__*;
struct HCURSOR__;
using HCURSOR = HCURSOR__*;
struct HBRUSH__;
using HBRUSH = HBRUSH__*;
struct HMENU__;
using HMENU = HMENU__*;
using ATOM = WORD;

extern "C" {

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct WNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
};
struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
};
struct WNDCLASSEXW {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCWSTR lpszMenuName;
    LPCWSTR lpszClassName;
    HICON hIconSm;
};
struct WNDCLASSEXA {
    UINT cbSize;
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    LPCSTR lpszMenuName;
    LPCSTR lpszClassName;
    HICON hIconSm;
};

// lParam of WM_NCCREATE and WM_CREATE.
struct CREATESTRUCTW {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCWSTR lpszName;
    LPCWSTR lpszClass;
    DWORD dwExStyle;
};
struct CREATESTRUCTA {
    LPVOID lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    LPCSTR lpszName;
    LPCSTR lpszClass;
    DWORD dwExStyle;
};

// Parent of a message-only window.
inline HWND const HWND_MESSAGE = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-3));

constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000);

constexpr int GWLP_WNDPROC = -4;
constexpr int GWLP_HINSTANCE = -6;
constexpr int GWLP_HWNDPARENT = -8;
constexpr int GWLP_ID = -12;
constexpr int GWL_ID = -12;
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWLP_USERDATA = -21;
constexpr int GWL_USERDATA = -21;

// Classes are process-wide (the instance handle is not part of the name);
// names compare without regard to ASCII case. The result is the class atom,
// 0 with ERROR_CLASS_ALREADY_EXISTS for a name already registered.
ATOM RegisterClassW(const WNDCLASSW* lpWndClass);
ATOM RegisterClassA(const WNDCLASSA* lpWndClass);
ATOM RegisterClassExW(const WNDCLASSEXW* lpWndClass);
ATOM RegisterClassExA(const WNDCLASSEXA* lpWndClass);
BOOL UnregisterClassW(LPCWSTR lpClassName, HINSTANCE hInstance);
BOOL UnregisterClassA(LPCSTR lpClassName, HINSTANCE hInstance);

// The class is named by text or by its atom (MAKEINTATOM). The calling
// thread owns the window. A window without WS_CHILD given a child window as
// its parent is owned by that child's top-level window. WM_NCCREATE and WM_CREATE are sent with a
// CREATESTRUCT; FALSE from the first or -1 from the second destroys the
// window again and gives null.
HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X, int Y,
                     int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam);
HWND CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y, int nWidth,
                     int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam);
// Only the owning thread may destroy a window (ERROR_ACCESS_DENIED
// otherwise). Sends WM_DESTROY and WM_NCDESTROY, destroys the child windows,
// kills the window's timers and drops its posted messages. Windows still
// open when their thread ends are removed without messages.
BOOL DestroyWindow(HWND hWnd);
BOOL IsWindow(HWND hWnd);
// The owning thread's id (and process id).
DWORD GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId);

// WM_CLOSE destroys the window; everything else answers 0.
LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
LRESULT DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

// GWLP_WNDPROC, GWLP_HINSTANCE, GWLP_HWNDPARENT, GWLP_ID, GWL_STYLE,
// GWL_EXSTYLE, GWLP_USERDATA, or a byte offset into the class's extra
// window bytes (ERROR_INVALID_INDEX past their end).
LONG_PTR GetWindowLongPtrW(HWND hWnd, int nIndex);
LONG_PTR GetWindowLongPtrA(HWND hWnd, int nIndex);
LONG_PTR SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong);
LONG_PTR SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong);
LONG GetWindowLongW(HWND hWnd, int nIndex);
LONG GetWindowLongA(HWND hWnd, int nIndex);
LONG SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong);
LONG SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong);

} // extern "C"
