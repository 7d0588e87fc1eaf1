// Dialogs: a window of the dialog class whose procedure calls the dialog
// procedure, children made from the template, WM_INITDIALOG, and the modal
// loop that runs until EndDialog.
#include "platform/base/lasterror.h"
#include "platform/base/strings.h"
#include "platform/resources/module.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/ModalOwner.h"
#include "platform/ui/UiScript.h"
#include "platform/ui/UiWindow.h"
#include "platform/ui/UserActions.h"
#include "platform/ui/UserInput.h"
#include "platform/ui/WindowBackEnd.h"

#include <atomic>
#include <cstdio>
#include <exception>
#include <map>
#include <mutex>

namespace plat::ui {

namespace {

struct TemplateTable {
    std::mutex mutex;
    std::map<std::pair<HINSTANCE, WORD>, DialogTemplate> templates;
};

TemplateTable& Templates()
{
    static TemplateTable* table = new TemplateTable;
    return *table;
}

// A null module is the program, as for every resource call.
HINSTANCE TemplateModule(HINSTANCE module) { return module ? module : ProgramModule(); }

std::atomic<size_t> g_handlerExceptions{0};

// The exception boundary: a handler that throws leaves the message
// unhandled, and the dialog goes on.
INT_PTR CallDialogProcedure(DLGPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    try {
        return proc(hwnd, message, wParam, lParam);
    } catch (const std::exception& e) {
        ++g_handlerExceptions;
        std::fprintf(stderr, "Dialog procedure of window %p threw on message 0x%04x: %s\n", static_cast<void*>(hwnd),
                     message, e.what());
    } catch (...) {
        ++g_handlerExceptions;
        std::fprintf(stderr, "Dialog procedure of window %p threw on message 0x%04x\n", static_cast<void*>(hwnd),
                     message);
    }
    return FALSE;
}

// Messages whose answer is the dialog procedure's return value itself
// rather than DWLP_MSGRESULT.
bool AnswersDirectly(UINT message) { return message == WM_INITDIALOG || message == WM_COMPAREITEM; }

LRESULT DialogWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        AddUiWindow(hwnd, *reinterpret_cast<const CREATESTRUCTW*>(lParam), ControlKind::Dialog);
        return TRUE;
    }
    if (message == kUserInputMessage) {
        // The person's input from the display, reaching the dialog's loop.
        RunUserInput(wParam);
        return 0;
    }
    auto proc = reinterpret_cast<DLGPROC>(GetWindowLongPtrW(hwnd, DWLP_DLGPROC));
    if (proc) {
        SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, 0);
        const INT_PTR handled = CallDialogProcedure(proc, hwnd, message, wParam, lParam);
        if (handled && message != WM_NCDESTROY)
            return AnswersDirectly(message) ? handled : GetWindowLongPtrW(hwnd, DWLP_MSGRESULT);
    }
    if (message == WM_NCDESTROY) {
        RemoveUiWindow(hwnd);
        return 0;
    }
    if (message == WM_CLOSE) {
        // The close box is the Cancel button.
        SendMessageW(hwnd, WM_COMMAND, MAKELONG(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(hwnd, IDCANCEL)));
        return 0;
    }
    if (std::shared_ptr<UiWindow> window = FindUiWindow(hwnd)) {
        LRESULT result = 0;
        if (HandleCommonMessage(*window, message, wParam, lParam, &result))
            return result;
        if (message == DM_GETDEFID)
            return window->defaultId ? MAKELONG(static_cast<WORD>(window->defaultId), DC_HASDEFID) : 0;
        if (message == DM_SETDEFID) {
            window->defaultId = static_cast<int>(wParam);
            if (HWND focus = GetFocus(); focus && (focus == hwnd || IsChild(hwnd, focus)))
                ShowDefaultButtonFor(focus);
            return TRUE;
        }
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

bool TemplateId(const WCHAR* name, WORD* id)
{
    const auto value = reinterpret_cast<uintptr_t>(name);
    if (value && value < 0x10000) {
        *id = static_cast<WORD>(value);
        return true;
    }
    if (!name || name[0] != u'#' || !name[1])
        return false;
    unsigned number = 0;
    for (const WCHAR* p = name + 1; *p; ++p) {
        if (*p < u'0' || *p > u'9' || number > 0xFFFF)
            return false;
        number = number * 10 + static_cast<unsigned>(*p - u'0');
    }
    if (number > 0xFFFF)
        return false;
    *id = static_cast<WORD>(number);
    return true;
}

struct TemplateNameArgument {
    explicit TemplateNameArgument(LPCSTR name)
    {
        if (reinterpret_cast<uintptr_t>(name) < 0x10000) {
            pointer = reinterpret_cast<const WCHAR*>(name);
        } else {
            text = Utf8ToUtf16(name);
            pointer = text.c_str();
        }
    }
    std::u16string text;
    const WCHAR* pointer;
};

HWND FirstTabStop(const UiWindow& dialog)
{
    for (HWND child : dialog.children) {
        const DWORD style = WindowStyle(child);
        if ((style & WS_TABSTOP) && (style & WS_VISIBLE) && !(style & WS_DISABLED))
            return child;
    }
    return nullptr;
}

HWND CreateDialogFromTemplate(HINSTANCE instance, const WCHAR* name, HWND parent, DLGPROC proc, LPARAM param,
                              bool modal)
{
    EnsureWindowClasses();
    WORD id = 0;
    DialogTemplate dialogTemplate;
    if (!TemplateId(name, &id) || !FindDialogTemplate(instance, id, &dialogTemplate)) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return nullptr;
    }
    const RECT frame = DialogUnitsToPixels(dialogTemplate.x, dialogTemplate.y, dialogTemplate.cx, dialogTemplate.cy);
    // A dialog made to sit in another (a page) takes part in its keyboard
    // navigation.
    const DWORD exStyle = dialogTemplate.exStyle | ((dialogTemplate.style & DS_CONTROL) ? WS_EX_CONTROLPARENT : 0);
    // Shown only once WM_INITDIALOG has run, as the system does.
    HWND dialog = CreateWindowExW(exStyle, kDialogClass, dialogTemplate.caption.c_str(),
                                  dialogTemplate.style & ~WS_VISIBLE, frame.left, frame.top, frame.right - frame.left,
                                  frame.bottom - frame.top, parent, nullptr, instance, nullptr);
    if (!dialog)
        return nullptr;
    SetWindowLongPtrW(dialog, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(proc));
    std::shared_ptr<UiWindow> window = FindUiWindow(dialog);
    for (const DialogItemTemplate& item : dialogTemplate.items) {
        const RECT r = DialogUnitsToPixels(item.x, item.y, item.cx, item.cy);
        HWND control =
            CreateWindowExW(item.exStyle, item.className.c_str(), item.text.c_str(), item.style | WS_CHILD | WS_VISIBLE,
                            r.left, r.top, r.right - r.left, r.bottom - r.top, dialog,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)), instance, nullptr);
        if (!control) {
            const DWORD error = GetLastError();
            DestroyWindow(dialog);
            SetLastError(error);
            return nullptr;
        }
        // The template's default push button is the dialog's default.
        const bool defaultButton = item.className == kButtonClass && (item.style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
        if (defaultButton && window->defaultId == 0)
            window->defaultId = item.id;
    }
    HWND firstTabStop = window ? FirstTabStop(*window) : nullptr;
    const LRESULT setFocus = SendMessageW(dialog, WM_INITDIALOG, reinterpret_cast<WPARAM>(firstTabStop), param);
    if (!IsWindow(dialog))
        return nullptr;
    const bool show = modal || (dialogTemplate.style & WS_VISIBLE);
    if (setFocus && show && firstTabStop && IsWindow(firstTabStop))
        SetFocus(firstTabStop);
    if (show && !window->ended)
        ShowWindow(dialog, SW_SHOW);
    return dialog;
}

// Nobody can answer a modal dialog that is neither scripted nor shown on a
// display: it gets what a person who walks away gives, Escape, and a line
// says so, so that its loop does not wait for input that cannot come. A
// dialog that takes no Escape goes on until its own code ends it.
void DismissUnanswered(HWND dialog)
{
    WCHAR caption[256] = {};
    GetWindowTextW(dialog, caption, 256);
    std::fprintf(stderr, "Dialog \"%s\" without a scripted answer: Escape\n", Utf16ToUtf8(caption).c_str());
    PressEscape(dialog);
}

// The owner's top-level window takes no input until the dialog has ended.
INT_PTR RunModal(HINSTANCE instance, const WCHAR* name, HWND owner, DLGPROC proc, LPARAM param)
{
    ModalOwnerLock lock(owner);
    HWND dialog = CreateDialogFromTemplate(instance, name, owner, proc, param, true);
    if (!dialog)
        return -1;
    std::shared_ptr<UiWindow> state = FindUiWindow(dialog);
    if (!state->ended) {
        if (std::function<void(HWND)> action = TakeModalScript())
            action(dialog);
        else if (!ActiveWindowBackEnd())
            DismissUnanswered(dialog);
    }
    while (!state->ended && IsWindow(dialog)) {
        MSG msg;
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam)); // for the loop outside
            break;
        }
        if (got == -1)
            break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    if (IsWindow(dialog))
        DestroyWindow(dialog);
    return state->result;
}

} // namespace

void RegisterDialogTemplate(HINSTANCE module, WORD id, DialogTemplate dialogTemplate)
{
    TemplateTable& table = Templates();
    std::lock_guard lock(table.mutex);
    table.templates[{TemplateModule(module), id}] = std::move(dialogTemplate);
}

void UnregisterDialogTemplate(HINSTANCE module, WORD id)
{
    TemplateTable& table = Templates();
    std::lock_guard lock(table.mutex);
    table.templates.erase({TemplateModule(module), id});
}

bool FindDialogTemplate(HINSTANCE module, WORD id, DialogTemplate* out)
{
    TemplateTable& table = Templates();
    std::lock_guard lock(table.mutex);
    auto it = table.templates.find({TemplateModule(module), id});
    if (it == table.templates.end())
        return false;
    *out = it->second;
    return true;
}

DialogTemplateRegistrar::DialogTemplateRegistrar(WORD id, DialogTemplate dialogTemplate)
    : m_module(ModuleFromAddress(this)), m_id(id)
{
    RegisterDialogTemplate(m_module, id, std::move(dialogTemplate));
}

DialogTemplateRegistrar::~DialogTemplateRegistrar() { UnregisterDialogTemplate(m_module, m_id); }

RECT DialogUnitsToPixels(short x, short y, short cx, short cy)
{
    const auto px = [](int v) { return v * 6 / 4; };
    const auto py = [](int v) { return v * 13 / 8; };
    return RECT{px(x), py(y), px(x + cx), py(y + cy)};
}

size_t HandlerExceptionCount() { return g_handlerExceptions.load(); }

void EnsureWindowClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DialogWindowProc;
        wc.cbWndExtra = DLGWINDOWEXTRA;
        wc.lpszClassName = kDialogClass;
        RegisterClassW(&wc);
        RegisterControlClasses();
    });
}

} // namespace plat::ui

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* picce)
{
    if (!picce || picce->dwSize != sizeof(INITCOMMONCONTROLSEX))
        return FALSE;
    plat::ui::EnsureWindowClasses();
    return TRUE;
}

HWND CreateDialogParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam)
{
    return plat::ui::CreateDialogFromTemplate(hInstance, lpTemplateName, hWndParent, lpDialogFunc, dwInitParam, false);
}

HWND CreateDialogParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam)
{
    plat::ui::TemplateNameArgument name(lpTemplateName);
    return CreateDialogParamW(hInstance, name.pointer, hWndParent, lpDialogFunc, dwInitParam);
}

INT_PTR DialogBoxParamW(HINSTANCE hInstance, LPCWSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam)
{
    return plat::ui::RunModal(hInstance, lpTemplateName, hWndParent, lpDialogFunc, dwInitParam);
}

INT_PTR DialogBoxParamA(HINSTANCE hInstance, LPCSTR lpTemplateName, HWND hWndParent, DLGPROC lpDialogFunc,
                        LPARAM dwInitParam)
{
    plat::ui::TemplateNameArgument name(lpTemplateName);
    return DialogBoxParamW(hInstance, name.pointer, hWndParent, lpDialogFunc, dwInitParam);
}

BOOL EndDialog(HWND hDlg, INT_PTR nResult)
{
    std::shared_ptr<plat::ui::UiWindow> window = plat::ui::FindUiWindow(hDlg);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    window->ended = true;
    window->result = nResult;
    ShowWindow(hDlg, SW_HIDE);
    PostMessageW(hDlg, WM_NULL, 0, 0); // wakes a modal loop waiting for input
    return TRUE;
}

LRESULT DefDlgProcW(HWND hDlg, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    return plat::ui::DialogWindowProc(hDlg, Msg, wParam, lParam);
}

BOOL IsDialogMessageW(HWND, LPMSG)
{
    return FALSE; // no keyboard input to turn into dialog navigation
}

BOOL MapDialogRect(HWND hDlg, LPRECT lpRect)
{
    if (!IsWindow(hDlg) || !lpRect) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *lpRect = plat::ui::DialogUnitsToPixels(static_cast<short>(lpRect->left), static_cast<short>(lpRect->top),
                                            static_cast<short>(lpRect->right - lpRect->left),
                                            static_cast<short>(lpRect->bottom - lpRect->top));
    return TRUE;
}
