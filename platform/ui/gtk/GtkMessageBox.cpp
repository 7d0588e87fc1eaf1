#include "platform/ui/gtk/GtkMessageBox.h"

#include "platform/ui/gtk/GtkText.h"

#include <vector>

namespace plat::ui::gtk {

namespace {

struct Button {
    const char* label;
    int answer;
};

// The buttons of each kind of box, with the answer each gives.
std::vector<Button> ButtonsOf(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {{"_OK", IDOK}, {"_Cancel", IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
        return {{"_Abort", IDABORT}, {"_Retry", IDRETRY}, {"_Ignore", IDIGNORE}};
    case MB_YESNOCANCEL:
        return {{"_Yes", IDYES}, {"_No", IDNO}, {"_Cancel", IDCANCEL}};
    case MB_YESNO:
        return {{"_Yes", IDYES}, {"_No", IDNO}};
    case MB_RETRYCANCEL:
        return {{"_Retry", IDRETRY}, {"_Cancel", IDCANCEL}};
    default:
        return {{"_OK", IDOK}};
    }
}

GtkMessageType MessageTypeOf(UINT type)
{
    switch (type & 0xF0) {
    case MB_ICONERROR:
        return GTK_MESSAGE_ERROR;
    case MB_ICONQUESTION:
        return GTK_MESSAGE_QUESTION;
    case MB_ICONWARNING:
        return GTK_MESSAGE_WARNING;
    case MB_ICONINFORMATION:
        return GTK_MESSAGE_INFO;
    default:
        return GTK_MESSAGE_OTHER;
    }
}

} // namespace

GtkWidget* MakeMessageBox(GtkWindow* owner, const std::u16string& text, const std::u16string& caption, UINT type)
{
    GtkWidget* box = gtk_message_dialog_new(owner, GTK_DIALOG_MODAL, MessageTypeOf(type), GTK_BUTTONS_NONE, "%s",
                                            Utf8(text).c_str());
    gtk_window_set_title(GTK_WINDOW(box), Utf8(caption).c_str());
    for (const Button& button : ButtonsOf(type))
        gtk_dialog_add_button(GTK_DIALOG(box), button.label, button.answer);
    gtk_dialog_set_default_response(GTK_DIALOG(box), ButtonsOf(type).front().answer);
    return box;
}

} // namespace plat::ui::gtk
