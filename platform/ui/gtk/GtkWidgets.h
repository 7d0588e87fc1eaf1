// The widget of each kind of control, and the model's state put into it.
#pragma once

#include "platform/ui/gtk/GtkMirror.h"

namespace plat::ui::gtk {

// Makes the widgets of a mirror: a top-level dialog gets a GtkWindow
// holding a GtkFixed, a child dialog a GtkFixed, a control its widget.
void MakeWidgets(Mirror& mirror, const UiWindow& window, DWORD style);

// A closed combo box is as high as its field; the template's height is
// that of the field and its dropped-down list.
inline constexpr int kComboFieldHeight = 21;

// Puts the model's state into the widgets where it differs from what was
// put there last (everything on the first call); a top-level dialog's
// taking input is left to the back end. Input handlers see no signal from
// this (InputMuted).
void ApplyState(Mirror& mirror, const UiWindow& window, DWORD style, bool enabled);

// While the back end changes widgets itself, their signals are not input.
bool InputMuted();
class MuteInput {
public:
    MuteInput();
    ~MuteInput();
    MuteInput(const MuteInput&) = delete;
    MuteInput& operator=(const MuteInput&) = delete;

private:
    bool m_previous;
};

} // namespace plat::ui::gtk
