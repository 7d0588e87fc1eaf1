#include "platform/ui/ModalOwner.h"

namespace plat::ui {

ModalOwnerLock::ModalOwnerLock(HWND owner)
{
    HWND top = owner && IsWindow(owner) ? GetAncestor(owner, GA_ROOT) : nullptr;
    if (!top || !IsWindowEnabled(top))
        return;
    HWND focus = GetFocus();
    if (focus == top || IsChild(top, focus))
        m_focus = focus;
    m_disabled = top;
    EnableWindow(top, FALSE);
}

ModalOwnerLock::~ModalOwnerLock()
{
    if (!m_disabled || !IsWindow(m_disabled))
        return;
    EnableWindow(m_disabled, TRUE);
    if (m_focus && IsWindow(m_focus) && IsWindowVisible(m_focus) && IsWindowEnabled(m_focus) && !GetFocus())
        SetFocus(m_focus);
}

} // namespace plat::ui
