#include "platform/testing/XTestInput.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cctype>
#include <chrono>
#include <poll.h>
#include <vector>

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
    ::Display* display = D(m_display);
    std::vector<KeyCode> held;
    size_t start = 0;
    for (size_t plus = name.find('+', 1); plus != std::string::npos; plus = name.find('+', start)) {
        const std::string modifier = name.substr(start, plus - start);
        const char* keysym = modifier == "ctrl" ? "Control_L" : modifier == "alt" ? "Alt_L" : "Shift_L";
        held.push_back(XKeysymToKeycode(display, XStringToKeysym(keysym)));
        start = plus + 1;
    }
    const KeyCode code = XKeysymToKeycode(display, XStringToKeysym(name.substr(start).c_str()));
    for (KeyCode modifier : held)
        XTestFakeKeyEvent(display, modifier, True, CurrentTime);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    for (auto it = held.rbegin(); it != held.rend(); ++it)
        XTestFakeKeyEvent(display, *it, False, CurrentTime);
    XFlush(display);
}

void XTestInput::KeyWith(const std::string& modifier, const std::string& name)
{
    const KeyCode held = XKeysymToKeycode(D(m_display), XStringToKeysym(modifier.c_str()));
    XTestFakeKeyEvent(D(m_display), held, True, CurrentTime);
    Key(name);
    XTestFakeKeyEvent(D(m_display), held, False, CurrentTime);
    XFlush(D(m_display));
}

bool XTestInput::WatchBells()
{
    int opcode = 0;
    int errorBase = 0;
    int major = XkbMajorVersion;
    int minor = XkbMinorVersion;
    if (!XkbQueryExtension(D(m_display), &opcode, &m_xkbEventBase, &errorBase, &major, &minor))
        return false;
    XkbSelectEvents(D(m_display), XkbUseCoreKbd, XkbBellNotifyMask, XkbBellNotifyMask);
    XSync(D(m_display), False);
    return true;
}

bool XTestInput::BellRings(int limitMs)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        while (XPending(D(m_display)) > 0) {
            XEvent event;
            XNextEvent(D(m_display), &event);
            if (event.type == m_xkbEventBase && reinterpret_cast<XkbAnyEvent&>(event).xkb_type == XkbBellNotify)
                return true;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(limit - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd wait{ConnectionNumber(D(m_display)), POLLIN, 0};
        poll(&wait, 1, static_cast<int>(left.count()));
    }
}

void XTestInput::Type(const std::string& text)
{
    for (char c : text) {
        // clang-format off
        switch (c) {
        case '.': Key("period"); break;
        case '/': Key("slash"); break;
        case ' ': Key("space"); break;
        case '-': Key("minus"); break;
        case '_': Key("shift+underscore"); break;
        default:
            Key(std::isupper(static_cast<unsigned char>(c)) ? "shift+" + std::string(1, c) : std::string(1, c));
        }
        // clang-format on
    }
}

} // namespace plat::testing
