// A person at the test's X display: pointer moves, clicks and keys sent
// through the X server's test extension, so they reach the windows through
// the toolkit's own event path as real input does. (Xlib's names stay in
// the .cpp: its macros clash with the test framework's.)
#pragma once

#include <string>

namespace plat::testing {

class XTestInput {
public:
    XTestInput();
    ~XTestInput();
    XTestInput(const XTestInput&) = delete;
    XTestInput& operator=(const XTestInput&) = delete;

    bool Ready() const { return m_display != nullptr; }

    // The pointer moved to a point of the screen, and a left click there.
    void Move(int x, int y);
    void Click(int x, int y);
    // A key by its X key name ("Return", "Escape", "Tab", "Right", "a"),
    // pressed and let go; "ctrl+a", "alt+e", "shift+Tab" hold the
    // modifiers meanwhile.
    void Key(const std::string& name);
    // The key with a modifier key held ("Shift_L", "Tab").
    void KeyWith(const std::string& modifier, const std::string& name);
    // Letters, digits, ' ', '.', '/', '-' and '_' typed one key at a time
    // (shift for capitals and '_').
    void Type(const std::string& text);

    // The display's bell: from WatchBells on, whether it rings within
    // `limitMs` of real time (a wait on the server's answer).
    bool WatchBells();
    bool BellRings(int limitMs);

private:
    void* m_display;
    int m_xkbEventBase = -1;
};

} // namespace plat::testing
