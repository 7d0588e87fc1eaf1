#include "platform/testing/XTestInput.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace plat::testing {

namespace {

::Display* D(void* display) { return static_cast<::Display*>(display); }

} // namespace

XTestInput::XTestInput() : m_display(XOpenDisplay(nullptr)) {}

XTestInput::~XTestInput()
{
    if (m_display)
        XCloseDisplay(D(m_display));
}

void XTestInput::Move(int x, int y)
{
    XTestFakeMotionEvent(D(m_display), -1, x, y, CurrentTime);
    XFlush(D(m_display));
}

void XTestInput::Click(int x, int y)
{
    XTestFakeMotionEvent(D(m_display), -1, x, y, CurrentTime);
    XTestFakeButtonEvent(D(m_display), 1, True, CurrentTime);
    XTestFakeButtonEvent(D(m_display), 1, False, CurrentTime);
    XFlush(D(m_display));
}

void XTestInput::Key(const std::string& name)
{
    const KeyCode code = XKeysymToKeycode(D(m_display), XStringToKeysym(name.c_str()));
    XTestFakeKeyEvent(D(m_display), code, True, CurrentTime);
    XTestFakeKeyEvent(D(m_display), code, False, CurrentTime);
    XFlush(D(m_display));
}

void XTestInput::Type(const std::string& text)
{
    for (char c : text)
        Key(c == '.' ? std::string("period") : std::string(1, c));
}

} // namespace plat::testing
