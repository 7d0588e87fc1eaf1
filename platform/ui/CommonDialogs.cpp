// Message boxes and file dialogs, answered from the script (UiScript.h).
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/ui/ModalOwner.h"
#include "platform/ui/UiScript.h"
#include "platform/ui/WindowBackEnd.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

namespace plat::ui {

namespace {

// A scripted message-box answer and what the user does before giving it.
struct BoxAnswer {
    int answer;
    std::function<void()> before;
};

struct Script {
    std::mutex mutex;
    std::deque<BoxAnswer> boxAnswers;
    std::deque<std::optional<std::u16string>> fileAnswers;
    std::deque<std::function<void(HWND)>> modalActions;
    std::vector<MessageBoxRecord> boxes;
    std::vector<FileDialogRecord> fileDialogs;
};

Script& TheScript()
{
    static Script* script = new Script;
    return *script;
}

thread_local DWORD t_commDlgError = 0;

// The double-null-terminated list of description/pattern pairs.
std::vector<std::u16string> SplitFilter(const std::u16string& filter)
{
    std::vector<std::u16string> parts;
    size_t start = 0;
    while (start < filter.size()) {
        const size_t end = filter.find(u'\0', start);
        if (end == start || end == std::u16string::npos)
            break;
        parts.push_back(filter.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// Finds the end of a double-null-terminated list (wide or narrow).
template <class Char>
size_t MultiStringLength(const Char* list)
{
    if (!list)
        return 0;
    size_t n = 0;
    while (list[n] || list[n + 1])
        ++n;
    return n + 1;
}

// One file dialog: records the request and takes the scripted answer, or
// the person's at the display.
std::optional<std::u16string> AskForFile(FileDialogRecord record)
{
    Script& script = TheScript();
    std::unique_lock lock(script.mutex);
    std::optional<std::optional<std::u16string>> answer;
    if (!script.fileAnswers.empty()) {
        answer = std::move(script.fileAnswers.front());
        script.fileAnswers.pop_front();
    } else if (WindowBackEnd* backEnd = ActiveWindowBackEnd()) {
        // The script is free while the person chooses, and the owner's
        // window takes no input.
        lock.unlock();
        {
            ModalOwnerLock owner(record.owner);
            answer = backEnd->AskFileName(record);
        }
        lock.lock();
    }
    if (!answer) {
        std::fprintf(stderr, "%s file dialog \"%s\" without a scripted answer: cancelled\n",
                     record.save ? "Save" : "Open", Utf16ToUtf8(record.title).c_str());
        answer.emplace();
    }
    record.answer = *answer;
    script.fileDialogs.push_back(std::move(record));
    return *answer;
}

// Offsets of the file name and its extension in a path, as the dialog
// reports them (0 for the extension when there is none).
void NameOffsets(const std::u16string& path, WORD* fileOffset, WORD* extensionOffset)
{
    const size_t slash = path.find_last_of(u"\\/");
    const size_t name = slash == std::u16string::npos ? 0 : slash + 1;
    const size_t dot = path.find_last_of(u'.');
    *fileOffset = static_cast<WORD>(name);
    *extensionOffset = (dot == std::u16string::npos || dot < name) ? 0 : static_cast<WORD>(dot + 1);
}

template <class Ofn, class Char>
BOOL FileDialog(Ofn* ofn, bool save)
{
    t_commDlgError = 0;
    if (!ofn || ofn->lStructSize == 0 || ofn->lStructSize > sizeof(Ofn)) {
        t_commDlgError = CDERR_STRUCTSIZE;
        return FALSE;
    }
    if (!ofn->lpstrFile || ofn->nMaxFile == 0) {
        t_commDlgError = CDERR_INITIALIZATION;
        return FALSE;
    }
    const auto wide = [](const Char* text) -> std::u16string {
        if (!text)
            return {};
        if constexpr (sizeof(Char) == 1)
            return Utf8ToUtf16(reinterpret_cast<const char*>(text));
        else
            return std::u16string(reinterpret_cast<const char16_t*>(text));
    };
    // The buffer's text, read within the buffer only.
    const auto* file = reinterpret_cast<const Char*>(ofn->lpstrFile);
    const std::basic_string<Char> initial(file, std::find(file, file + ofn->nMaxFile, Char{0}));
    FileDialogRecord record{save,
                            ofn->hwndOwner,
                            wide(ofn->lpstrTitle),
                            wide(ofn->lpstrInitialDir),
                            wide(initial.c_str()),
                            wide(ofn->lpstrDefExt),
                            {},
                            ofn->nFilterIndex,
                            ofn->Flags,
                            std::nullopt};
    if (ofn->lpstrFilter) {
        const size_t length = MultiStringLength(ofn->lpstrFilter);
        std::u16string filter;
        if constexpr (sizeof(Char) == 1)
            filter = Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(ofn->lpstrFilter), length));
        else
            filter = std::u16string(reinterpret_cast<const char16_t*>(ofn->lpstrFilter), length);
        record.filter = SplitFilter(filter);
    }
    std::optional<std::u16string> answer = AskForFile(std::move(record));
    if (!answer)
        return FALSE;
    std::basic_string<Char> path;
    if constexpr (sizeof(Char) == 1) {
        const std::string narrow = Utf16ToUtf8(*answer);
        path.assign(narrow.begin(), narrow.end());
    } else {
        path.assign(answer->begin(), answer->end());
    }
    if (path.size() + 1 > ofn->nMaxFile) {
        // The system puts the size needed in the first two bytes.
        t_commDlgError = FNERR_BUFFERTOOSMALL;
        if (ofn->nMaxFile * sizeof(Char) >= sizeof(WORD)) {
            const auto needed = static_cast<WORD>(std::min<size_t>(path.size() + 1, 0xFFFF));
            std::memcpy(ofn->lpstrFile, &needed, sizeof(needed));
        }
        return FALSE;
    }
    std::memcpy(ofn->lpstrFile, path.c_str(), (path.size() + 1) * sizeof(Char));
    NameOffsets(*answer, &ofn->nFileOffset, &ofn->nFileExtension);
    return TRUE;
}

} // namespace

void ScriptMessageBoxAnswer(int answer, std::function<void()> beforeAnswering)
{
    Script& script = TheScript();
    std::lock_guard lock(script.mutex);
    script.boxAnswers.push_back({answer, std::move(beforeAnswering)});
}

void ScriptFileDialogAnswer(std::optional<std::u16string> path)
{
    Script& script = TheScript();
    std::lock_guard lock(script.mutex);
    script.fileAnswers.push_back(std::move(path));
}

void ScriptModalDialog(std::function<void(HWND)> action)
{
    Script& script = TheScript();
    std::lock_guard lock(script.mutex);
    script.modalActions.push_back(std::move(action));
}

std::function<void(HWND)> TakeModalScript()
{
    Script& script = TheScript();
    std::lock_guard lock(script.mutex);
    if (script.modalActions.empty())
        return {};
    std::function<void(HWND)> action = std::move(script.modalActions.front());
    script.modalActions.pop_front();
    return action;
}

std::vector<MessageBoxRecord> TakeMessageBoxLog()
{
    Script& script = TheScript();
    std::lock_guard lock(script.mutex);
    return std::exchange(script.boxes, {});
}

std::vector<FileDialogRecord> TakeFileDialogLog()
{
    Script& script = TheScript();
    std::lock_guard lock(script.mutex);
    return std::exchange(script.fileDialogs, {});
}

void ResetUiScript()
{
    Script& script = TheScript();
    std::lock_guard lock(script.mutex);
    script.boxAnswers.clear();
    script.fileAnswers.clear();
    script.modalActions.clear();
    script.boxes.clear();
    script.fileDialogs.clear();
}

int DismissAnswer(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_OK:
        return IDOK;
    case MB_ABORTRETRYIGNORE:
        return IDABORT;
    case MB_YESNO:
        return IDNO;
    default: // the boxes with a Cancel button
        return IDCANCEL;
    }
}

std::string AnswerName(int answer)
{
    switch (answer) {
    case IDOK:
        return "OK";
    case IDCANCEL:
        return "Cancel";
    case IDABORT:
        return "Abort";
    case IDRETRY:
        return "Retry";
    case IDIGNORE:
        return "Ignore";
    case IDYES:
        return "Yes";
    case IDNO:
        return "No";
    default:
        return std::to_string(answer);
    }
}

} // namespace plat::ui

int MessageBoxW(HWND hWnd, LPCWSTR lpText, LPCWSTR lpCaption, UINT uType)
{
    plat::ui::Script& script = plat::ui::TheScript();
    plat::ui::MessageBoxRecord record{hWnd, lpText ? lpText : u"", lpCaption ? lpCaption : u"Error", uType, 0};
    std::unique_lock lock(script.mutex);
    if (!script.boxAnswers.empty()) {
        plat::ui::BoxAnswer scripted = std::move(script.boxAnswers.front());
        script.boxAnswers.pop_front();
        if (scripted.before) {
            // The user acts while the box is up; the script is free meanwhile.
            lock.unlock();
            scripted.before();
            lock.lock();
        }
        record.answer = scripted.answer;
    } else if (plat::ui::WindowBackEnd* backEnd = plat::ui::ActiveWindowBackEnd()) {
        // A person at the display answers; the script is free meanwhile,
        // and the owner's window takes no input.
        lock.unlock();
        std::optional<int> asked;
        {
            plat::ui::ModalOwnerLock owner(hWnd);
            asked = backEnd->AskMessageBox(hWnd, record.text, record.caption, uType);
        }
        lock.lock();
        if (asked)
            record.answer = *asked ? *asked : plat::ui::DismissAnswer(uType);
    }
    if (record.answer == 0) {
        record.answer = plat::ui::DismissAnswer(uType);
        std::fprintf(stderr, "Message box \"%s\": \"%s\" without a scripted answer: %s\n",
                     Utf16ToUtf8(record.caption).c_str(), Utf16ToUtf8(record.text).c_str(),
                     plat::ui::AnswerName(record.answer).c_str());
    }
    script.boxes.push_back(record);
    return record.answer;
}

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType)
{
    const std::u16string text = Utf8ToUtf16(lpText ? lpText : "");
    const std::u16string caption = Utf8ToUtf16(lpCaption ? lpCaption : "Error");
    return MessageBoxW(hWnd, text.c_str(), caption.c_str(), uType);
}

BOOL MessageBeep(UINT)
{
    if (plat::ui::WindowBackEnd* backEnd = plat::ui::ActiveWindowBackEnd())
        backEnd->Beep();
    return TRUE;
}

BOOL GetOpenFileNameW(OPENFILENAMEW* lpofn) { return plat::ui::FileDialog<OPENFILENAMEW, WCHAR>(lpofn, false); }
BOOL GetSaveFileNameW(OPENFILENAMEW* lpofn) { return plat::ui::FileDialog<OPENFILENAMEW, WCHAR>(lpofn, true); }
BOOL GetOpenFileNameA(OPENFILENAMEA* lpofn) { return plat::ui::FileDialog<OPENFILENAMEA, char>(lpofn, false); }
BOOL GetSaveFileNameA(OPENFILENAMEA* lpofn) { return plat::ui::FileDialog<OPENFILENAMEA, char>(lpofn, true); }
DWORD CommDlgExtendedError() { return plat::ui::t_commDlgError; }
