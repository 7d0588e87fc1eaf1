#include "platform/kernel/Window.h"
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/kernel/MessageQueue.h"
#include "platform/kernel/Thread.h"
#include "platform/kernel/WindowTable.h"

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace plat {

namespace {

struct WindowClass {
    ATOM atom;
    std::u16string name;
    WNDPROC proc;
    int windowExtra;
    HINSTANCE instance;
};

struct Window {
    HWND hwnd;
    DWORD ownerThreadId;
    std::shared_ptr<WindowClass> windowClass;
    WNDPROC proc;
    HINSTANCE instance;
    HWND parent;
    LONG_PTR id;
    LONG style;
    LONG exStyle;
    LONG_PTR userData;
    std::vector<BYTE> extra;
};

// Windows and classes of the process, under their own lock (window
// procedures are always called outside it).
struct WindowTable {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<Window>> windows;
    std::map<std::u16string, std::shared_ptr<WindowClass>> classes; // by folded name
    ATOM nextAtom = 0xC000;
    uintptr_t nextHandle = 0x10000;
};

WindowTable& Table()
{
    static WindowTable* table = new WindowTable;
    return *table;
}

std::u16string FoldCase(std::u16string_view name)
{
    std::u16string folded(name);
    for (auto& c : folded) {
        if (c >= u'a' && c <= u'z')
            c = static_cast<char16_t>(c - u'a' + u'A');
    }
    return folded;
}

// A class name given as text or as an atom (a value below 0x10000).
bool IsAtom(const void* name) { return reinterpret_cast<uintptr_t>(name) < 0x10000; }

std::shared_ptr<WindowClass> FindClassLocked(WindowTable& table, const WCHAR* name)
{
    if (!name)
        return nullptr;
    if (IsAtom(name)) {
        const auto atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
        for (const auto& [key, cls] : table.classes) {
            if (cls->atom == atom)
                return cls;
        }
        return nullptr;
    }
    auto it = table.classes.find(FoldCase(name));
    return it == table.classes.end() ? nullptr : it->second;
}

std::shared_ptr<Window> FindWindow(HWND hwnd)
{
    WindowTable& table = Table();
    std::lock_guard lock(table.mutex);
    auto it = table.windows.find(reinterpret_cast<uintptr_t>(hwnd));
    return it == table.windows.end() ? nullptr : it->second;
}

// Only a top-level window owns others: a pop-up made over a child window
// (a dialog opened by a page) is owned by that child's top-level window.
HWND OwnerFor(HWND parent)
{
    WindowTable& table = Table();
    std::lock_guard lock(table.mutex);
    for (;;) {
        auto it = table.windows.find(reinterpret_cast<uintptr_t>(parent));
        if (it == table.windows.end() || !(it->second->style & WS_CHILD) || !it->second->parent)
            return parent;
        parent = it->second->parent;
    }
}

ATOM RegisterWindowClass(const WCHAR* name, WNDPROC proc, int windowExtra, HINSTANCE instance)
{
    if (!name || IsAtom(name) || !*name || !proc || windowExtra < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WindowTable& table = Table();
    std::lock_guard lock(table.mutex);
    std::u16string key = FoldCase(name);
    if (table.classes.count(key)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto cls = std::make_shared<WindowClass>(WindowClass{table.nextAtom++, name, proc, windowExtra, instance});
    table.classes.emplace(std::move(key), cls);
    return cls->atom;
}

// Text of an ANSI class name, or the atom passed through.
struct ClassNameArgument {
    explicit ClassNameArgument(LPCSTR name)
    {
        if (!name || IsAtom(name)) {
            pointer = reinterpret_cast<const WCHAR*>(name);
        } else {
            text = Utf8ToUtf16(name);
            pointer = text.c_str();
        }
    }
    std::u16string text;
    const WCHAR* pointer;
};

HWND CreateWindowCommon(DWORD exStyle, const WCHAR* className, DWORD style, HWND parent, HMENU menu, HINSTANCE instance,
                        const void* createStruct)
{
    std::shared_ptr<WindowClass> cls;
    {
        WindowTable& table = Table();
        std::lock_guard lock(table.mutex);
        cls = FindClassLocked(table, className);
    }
    if (!cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    const bool messageOnly = parent == HWND_MESSAGE;
    if (parent && !messageOnly && !FindWindow(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    EnsureThreadMessageQueue();

    auto window = std::make_shared<Window>();
    window->ownerThreadId = GetCurrentThreadId();
    window->windowClass = cls;
    window->proc = cls->proc;
    window->instance = instance;
    window->parent = messageOnly ? nullptr : (style & WS_CHILD) ? parent : OwnerFor(parent);
    window->id = (style & WS_CHILD) ? reinterpret_cast<LONG_PTR>(menu) : 0;
    window->style = static_cast<LONG>(style);
    window->exStyle = static_cast<LONG>(exStyle);
    window->userData = 0;
    window->extra.assign(static_cast<size_t>(cls->windowExtra), 0);
    {
        WindowTable& table = Table();
        std::lock_guard lock(table.mutex);
        window->hwnd = reinterpret_cast<HWND>(table.nextHandle);
        table.nextHandle += 2;
        table.windows.emplace(reinterpret_cast<uintptr_t>(window->hwnd), window);
    }
    const auto lParam = reinterpret_cast<LPARAM>(createStruct);
    if (!CallWindowProcedure(window->hwnd, WM_NCCREATE, 0, lParam) ||
        CallWindowProcedure(window->hwnd, WM_CREATE, 0, lParam) == -1) {
        DestroyWindow(window->hwnd);
        return nullptr;
    }
    return window->hwnd;
}

LONG_PTR* LongField(Window& window, int index)
{
    switch (index) {
    case GWLP_HWNDPARENT:
        return reinterpret_cast<LONG_PTR*>(&window.parent);
    case GWLP_ID:
        return &window.id;
    case GWLP_USERDATA:
        return &window.userData;
    default:
        return nullptr;
    }
}

// Reads or writes one window attribute; `width` is 4 or 8 bytes for the
// extra-byte offsets. Returns the previous value.
LONG_PTR AccessWindowLong(HWND hwnd, int index, const LONG_PTR* newValue, size_t width)
{
    std::shared_ptr<Window> window = FindWindow(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    WindowTable& table = Table();
    std::lock_guard lock(table.mutex);
    LONG_PTR previous = 0;
    if (index >= 0) {
        const auto offset = static_cast<size_t>(index);
        if (offset + width > window->extra.size()) {
            SetLastError(ERROR_INVALID_INDEX);
            return 0;
        }
        if (width == 4) {
            LONG value;
            std::memcpy(&value, window->extra.data() + offset, 4);
            previous = value;
            if (newValue) {
                value = static_cast<LONG>(*newValue);
                std::memcpy(window->extra.data() + offset, &value, 4);
            }
        } else {
            std::memcpy(&previous, window->extra.data() + offset, sizeof(LONG_PTR));
            if (newValue)
                std::memcpy(window->extra.data() + offset, newValue, sizeof(LONG_PTR));
        }
    } else if (index == GWLP_WNDPROC) {
        previous = reinterpret_cast<LONG_PTR>(window->proc);
        if (newValue)
            window->proc = reinterpret_cast<WNDPROC>(*newValue);
    } else if (index == GWLP_HINSTANCE) {
        previous = reinterpret_cast<LONG_PTR>(window->instance);
        if (newValue)
            window->instance = reinterpret_cast<HINSTANCE>(*newValue);
    } else if (index == GWL_STYLE || index == GWL_EXSTYLE) {
        LONG& field = index == GWL_STYLE ? window->style : window->exStyle;
        previous = field;
        if (newValue)
            field = static_cast<LONG>(*newValue);
    } else if (LONG_PTR* field = LongField(*window, index)) {
        previous = *field;
        if (newValue)
            *field = *newValue;
    } else {
        SetLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    // A previous value of 0 is a success only when the last error says so.
    SetLastError(ERROR_SUCCESS);
    return previous;
}

} // namespace

bool WindowOwner(HWND hwnd, DWORD* threadId)
{
    std::shared_ptr<Window> window = FindWindow(hwnd);
    if (!window)
        return false;
    *threadId = window->ownerThreadId;
    return true;
}

LRESULT CallWindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    WNDPROC proc = nullptr;
    if (std::shared_ptr<Window> window = FindWindow(hwnd)) {
        std::lock_guard lock(Table().mutex);
        proc = window->proc;
    }
    return proc ? proc(hwnd, message, wParam, lParam) : 0;
}

void RemoveThreadWindows(DWORD threadId)
{
    WindowTable& table = Table();
    std::lock_guard lock(table.mutex);
    std::erase_if(table.windows, [&](const auto& entry) { return entry.second->ownerThreadId == threadId; });
}

} // namespace plat

ATOM RegisterClassW(const WNDCLASSW* lpWndClass)
{
    if (!lpWndClass) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return plat::RegisterWindowClass(lpWndClass->lpszClassName, lpWndClass->lpfnWndProc, lpWndClass->cbWndExtra,
                                     lpWndClass->hInstance);
}

ATOM RegisterClassA(const WNDCLASSA* lpWndClass)
{
    if (!lpWndClass) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    plat::ClassNameArgument name(lpWndClass->lpszClassName);
    return plat::RegisterWindowClass(name.pointer, lpWndClass->lpfnWndProc, lpWndClass->cbWndExtra,
                                     lpWndClass->hInstance);
}

ATOM RegisterClassExW(const WNDCLASSEXW* lpWndClass)
{
    if (!lpWndClass || lpWndClass->cbSize != sizeof(WNDCLASSEXW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return plat::RegisterWindowClass(lpWndClass->lpszClassName, lpWndClass->lpfnWndProc, lpWndClass->cbWndExtra,
                                     lpWndClass->hInstance);
}

ATOM RegisterClassExA(const WNDCLASSEXA* lpWndClass)
{
    if (!lpWndClass || lpWndClass->cbSize != sizeof(WNDCLASSEXA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    plat::ClassNameArgument name(lpWndClass->lpszClassName);
    return plat::RegisterWindowClass(name.pointer, lpWndClass->lpfnWndProc, lpWndClass->cbWndExtra,
                                     lpWndClass->hInstance);
}

BOOL UnregisterClassW(LPCWSTR lpClassName, HINSTANCE)
{
    plat::WindowTable& table = plat::Table();
    std::lock_guard lock(table.mutex);
    std::shared_ptr<plat::WindowClass> cls = plat::FindClassLocked(table, lpClassName);
    if (!cls) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    table.classes.erase(plat::FoldCase(cls->name));
    return TRUE;
}

BOOL UnregisterClassA(LPCSTR lpClassName, HINSTANCE hInstance)
{
    plat::ClassNameArgument name(lpClassName);
    return UnregisterClassW(name.pointer, hInstance);
}

HWND CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X, int Y,
                     int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam)
{
    CREATESTRUCTW create{
        lpParam,      hInstance,   hMenu,    hWndParent, nHeight, nWidth, Y, X, static_cast<LONG>(dwStyle),
        lpWindowName, lpClassName, dwExStyle};
    return plat::CreateWindowCommon(dwExStyle, lpClassName, dwStyle, hWndParent, hMenu, hInstance, &create);
}

HWND CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y, int nWidth,
                     int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam)
{
    CREATESTRUCTA create{
        lpParam,      hInstance,   hMenu,    hWndParent, nHeight, nWidth, Y, X, static_cast<LONG>(dwStyle),
        lpWindowName, lpClassName, dwExStyle};
    plat::ClassNameArgument name(lpClassName);
    return plat::CreateWindowCommon(dwExStyle, name.pointer, dwStyle, hWndParent, hMenu, hInstance, &create);
}

BOOL DestroyWindow(HWND hWnd)
{
    std::shared_ptr<plat::Window> window = plat::FindWindow(hWnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (window->ownerThreadId != GetCurrentThreadId()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    plat::CallWindowProcedure(hWnd, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    {
        plat::WindowTable& table = plat::Table();
        std::lock_guard lock(table.mutex);
        for (const auto& [value, child] : table.windows) {
            if (child->parent == hWnd)
                children.push_back(child->hwnd);
        }
    }
    for (HWND child : children)
        DestroyWindow(child);
    plat::CallWindowProcedure(hWnd, WM_NCDESTROY, 0, 0);
    {
        plat::WindowTable& table = plat::Table();
        std::lock_guard lock(table.mutex);
        table.windows.erase(reinterpret_cast<uintptr_t>(hWnd));
    }
    plat::ForgetWindowMessages(window->ownerThreadId, hWnd);
    return TRUE;
}

BOOL IsWindow(HWND hWnd) { return plat::FindWindow(hWnd) ? TRUE : FALSE; }

DWORD GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId)
{
    DWORD owner;
    if (!plat::WindowOwner(hWnd, &owner)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (lpdwProcessId)
        *lpdwProcessId = GetCurrentProcessId();
    return owner;
}

LRESULT DefWindowProcW(HWND hWnd, UINT Msg, WPARAM, LPARAM)
{
    if (Msg == WM_CLOSE)
        DestroyWindow(hWnd);
    if (Msg == WM_NCCREATE)
        return TRUE;
    return 0;
}

LRESULT DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(hWnd, Msg, wParam, lParam);
}

LRESULT CallWindowProcW(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    return lpPrevWndFunc ? lpPrevWndFunc(hWnd, Msg, wParam, lParam) : 0;
}

LRESULT CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    return CallWindowProcW(lpPrevWndFunc, hWnd, Msg, wParam, lParam);
}

LONG_PTR GetWindowLongPtrW(HWND hWnd, int nIndex) { return plat::AccessWindowLong(hWnd, nIndex, nullptr, 8); }
LONG_PTR GetWindowLongPtrA(HWND hWnd, int nIndex) { return GetWindowLongPtrW(hWnd, nIndex); }

LONG_PTR SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong)
{
    return plat::AccessWindowLong(hWnd, nIndex, &dwNewLong, 8);
}
LONG_PTR SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong)
{
    return SetWindowLongPtrW(hWnd, nIndex, dwNewLong);
}

LONG GetWindowLongW(HWND hWnd, int nIndex)
{
    return static_cast<LONG>(plat::AccessWindowLong(hWnd, nIndex, nullptr, 4));
}
LONG GetWindowLongA(HWND hWnd, int nIndex) { return GetWindowLongW(hWnd, nIndex); }

LONG SetWindowLongW(HWND hWnd, int nIndex, LONG dwNewLong)
{
    const LONG_PTR value = dwNewLong;
    return static_cast<LONG>(plat::AccessWindowLong(hWnd, nIndex, &value, 4));
}
LONG SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong) { return SetWindowLongW(hWnd, nIndex, dwNewLong); }
