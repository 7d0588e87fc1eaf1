// What a modal dialog, message box or file dialog does to the window it is
// given as its owner. The owner may be a child window (a settings page);
// the window that takes no input meanwhile is its top-level window, the
// dialog the page sits in, as on the system the model stands in for.
#pragma once

#include "platform/ui/winuser.h"

namespace plat::ui {

// Disables the owner's top-level window for the lock's life and enables it
// again at the end, when it was enabled before, giving the focus back to
// the control inside it that had it.
class ModalOwnerLock {
public:
    explicit ModalOwnerLock(HWND owner);
    ~ModalOwnerLock();
    ModalOwnerLock(const ModalOwnerLock&) = delete;
    ModalOwnerLock& operator=(const ModalOwnerLock&) = delete;

    // The window disabled, or null (no owner, or one disabled already).
    HWND Disabled() const { return m_disabled; }

private:
    HWND m_disabled = nullptr;
    HWND m_focus = nullptr;
};

} // namespace plat::ui
