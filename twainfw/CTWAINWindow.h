// The data source's view of a window: the application's parent window and
// the settings window. Only these operations are asked of a window.
#pragma once
#include "platform/windows.h"

namespace Trellis {

class CTWAINWindow {
public:
    virtual ~CTWAINWindow() = default;
    virtual void Show(bool visible) = 0;
    virtual void Destroy() = 0;
    // Dialog keyboard handling of one window message (the MSG of a
    // TW_EVENT); true when the window took it.
    virtual bool PreTranslateMessage(const void* message) = 0;
    // Lets the object go once the window is destroyed. A window may delay
    // this while one of its own handlers is still running below the caller
    // (a handler that pumps messages can meet the close of its window).
    virtual void Dispose() { delete this; }
};

// A window of someone else's, attached without taking it over: it is never
// shown, hidden or destroyed from here.
class CTWAINForeignWindow : public CTWAINWindow {
public:
    explicit CTWAINForeignWindow(HWND hWnd) : m_hWnd(hWnd) {}
    HWND GetHandle() const { return m_hWnd; }
    void Show(bool) override {}
    void Destroy() override {}
    bool PreTranslateMessage(const void*) override { return false; }

private:
    HWND m_hWnd;
};

} // namespace Trellis
