#include "platform/ui/gtk/GtkFileChooser.h"

#include "platform/base/strings.h"
#include "platform/ui/gtk/GtkText.h"

#include <algorithm>
#include <filesystem>

namespace plat::ui::gtk {

namespace {

namespace fs = std::filesystem;

// "*.bin;*.tif" -> its patterns.
std::vector<std::string> Patterns(const std::u16string& list)
{
    std::vector<std::string> patterns;
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = std::min(list.find(u';', start), list.size());
        if (end > start)
            patterns.push_back(Utf8(list.substr(start, end - start)));
        start = end + 1;
    }
    return patterns;
}

void AddFilters(GtkFileChooser* chooser, const FileDialogRecord& request)
{
    GtkFileFilter* chosen = nullptr;
    for (size_t i = 0; i + 1 < request.filter.size(); i += 2) {
        GtkFileFilter* filter = gtk_file_filter_new();
        gtk_file_filter_set_name(filter, Utf8(request.filter[i]).c_str());
        for (const std::string& pattern : Patterns(request.filter[i + 1]))
            gtk_file_filter_add_pattern(filter, pattern.c_str());
        gtk_file_chooser_add_filter(chooser, filter); // the chooser owns it now
        const DWORD index = static_cast<DWORD>(i / 2 + 1);
        if (!chosen || index == request.filterIndex)
            chosen = filter;
    }
    if (chosen)
        gtk_file_chooser_set_filter(chooser, chosen);
}

// The proposed file's folder comes first; the initial folder is for a
// buffer that names no folder.
void Propose(GtkFileChooser* chooser, const FileDialogRecord& request)
{
    const fs::path file = LinuxPath(request.fileName);
    fs::path folder = file.parent_path();
    if (folder.empty() || !fs::is_directory(folder))
        folder = LinuxPath(request.initialDir);
    if (!folder.empty() && fs::is_directory(folder))
        gtk_file_chooser_set_current_folder(chooser, folder.c_str());
    const std::string name = file.filename().string();
    if (name.empty())
        return;
    if (request.save)
        gtk_file_chooser_set_current_name(chooser, name.c_str());
    else if (fs::is_regular_file(folder / name))
        gtk_file_chooser_set_filename(chooser, (folder / name).c_str());
}

} // namespace

GtkWidget* MakeFileChooser(GtkWindow* owner, const FileDialogRecord& request)
{
    const std::string title = request.title.empty() ? (request.save ? "Save As" : "Open") : Utf8(request.title);
    GtkWidget* dialog = gtk_file_chooser_dialog_new(
        title.c_str(), owner, request.save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_OPEN, "_Cancel",
        GTK_RESPONSE_CANCEL, request.save ? "_Save" : "_Open", GTK_RESPONSE_ACCEPT, nullptr);
    gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    gtk_file_chooser_set_local_only(chooser, TRUE);
    // The overwrite question comes once the default extension is on the
    // name (AsksToOverwrite).
    gtk_file_chooser_set_do_overwrite_confirmation(chooser, FALSE);
    AddFilters(chooser, request);
    Propose(chooser, request);
    return dialog;
}

std::u16string ChosenPath(GtkWidget* chooser, const FileDialogRecord& request)
{
    gchar* chosen = gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser));
    if (!chosen)
        return {};
    std::u16string path = Utf8ToUtf16(chosen);
    g_free(chosen);
    const size_t name = path.find_last_of(u'/') + 1;
    if (!request.defaultExtension.empty() && path.find(u'.', name) == std::u16string::npos)
        path += u"." + request.defaultExtension;
    return path;
}

bool AsksToOverwrite(const FileDialogRecord& request, const std::u16string& path)
{
    std::error_code error;
    return request.save && (request.flags & OFN_OVERWRITEPROMPT) && fs::exists(Utf16ToUtf8(path), error);
}

std::u16string OverwriteQuestion(const std::u16string& path)
{
    return path.substr(path.find_last_of(u'/') + 1) + u" already exists.\nDo you want to replace it?";
}

} // namespace plat::ui::gtk
