#include "platform/resources/ResourceTable.h"
#include "platform/resources/module.h"
#include "platform/resources/resources.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/Icons.h"
#include "platform/ui/PropertySheet.h"
#include "platform/ui/Theme.h"
#include "platform/ui/UiScript.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace plat::ui;

constexpr WORD kPageTemplate = 103;
const DialogTemplateRegistrar kPage(kPageTemplate,
                                    DialogTemplate{WS_CHILD | DS_CONTROL,
                                                   0,
                                                   u"Page caption",
                                                   0,
                                                   0,
                                                   302,
                                                   185,
                                                   u"MS Shell Dlg",
                                                   8,
                                                   {{kStaticClass, 2045, u"Support", SS_LEFT, 0, 6, 163, 281, 9}}});

struct PageLog {
    LPARAM initParam = 0;
    std::vector<UINT> notifications;
    std::vector<std::pair<WPARAM, STYLESTRUCT>> styleChanges;
    std::u16string outerTitle;
};

INT_PTR PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        const auto* record = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
        SetWindowLongPtrW(page, DWLP_USER, record->lParam);
        auto* log = reinterpret_cast<PageLog*>(record->lParam);
        log->initParam = record->lParam;
        WCHAR title[255] = {};
        HWND sheet = GetParent(page);
        if (HWND outer = sheet ? GetParent(sheet) : nullptr)
            GetWindowTextW(outer, title, 255);
        log->outerTitle = title;
        if (IsAppThemed())
            EnableThemeDialogTexture(page, ETDT_ENABLETAB);
        return TRUE;
    }
    auto* log = reinterpret_cast<PageLog*>(GetWindowLongPtrW(page, DWLP_USER));
    if (!log)
        return FALSE;
    if (message == WM_NOTIFY) {
        const UINT code = reinterpret_cast<const NMHDR*>(lParam)->code;
        log->notifications.push_back(code);
        if (code == PSN_APPLY)
            SetWindowLongPtrW(page, DWLP_MSGRESULT, PSNRET_INVALID);
        return TRUE;
    }
    if (message == WM_STYLECHANGING) {
        log->styleChanges.emplace_back(wParam, *reinterpret_cast<const STYLESTRUCT*>(lParam));
        return TRUE;
    }
    return FALSE;
}

TEST(PropertySheetTest, PagesAddedByAnExtensionBecomeChildDialogsOfTheSheet)
{
    const INITCOMMONCONTROLSEX init{sizeof(init), ICC_STANDARD_CLASSES};
    ASSERT_TRUE(InitCommonControlsEx(&init));
    HWND owner = CreateWindowExW(0, kStaticClass, u"Scanner DO NOT CHECK BUSY HARDWARE", WS_POPUP, 0, 0, 10, 10,
                                 nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    PageLog first, second;
    PropertySheetWindow sheet(owner, u"Properties");
    for (PageLog* log : {&first, &second}) {
        std::u16string title = u"Device Settings";
        PROPSHEETPAGEW record{};
        record.dwSize = PROPSHEETPAGEW_V1_SIZE;
        record.dwFlags = PSP_USETITLE;
        record.hInstance = plat::ThisModule();
        record.pszTemplate = MAKEINTRESOURCEW(kPageTemplate);
        record.pszTitle = title.c_str(); // copied: the buffer may go
        record.pfnDlgProc = PageProc;
        record.lParam = reinterpret_cast<LPARAM>(log);
        HPROPSHEETPAGE page = CreatePropertySheetPageW(&record);
        ASSERT_NE(page, nullptr);
        ASSERT_TRUE(PropertySheetWindow::AddPageCallback(page, reinterpret_cast<LPARAM>(&sheet)));
    }
    PROPSHEETPAGEW tooSmall{};
    tooSmall.dwSize = PROPSHEETPAGEW_V1_SIZE - 4;
    EXPECT_EQ(CreatePropertySheetPageW(&tooSmall), nullptr);

    ASSERT_TRUE(sheet.Create());
    HWND page = sheet.Page(0);
    EXPECT_EQ(first.initParam, reinterpret_cast<LPARAM>(&first));
    EXPECT_EQ(first.outerTitle, u"Scanner DO NOT CHECK BUSY HARDWARE");
    EXPECT_NE(GetDlgItem(page, 2045), nullptr);
    ASSERT_EQ(first.styleChanges.size(), 1u);
    EXPECT_EQ(first.styleChanges[0].first, static_cast<WPARAM>(GWL_EXSTYLE));
    EXPECT_TRUE(first.styleChanges[0].second.styleNew & WS_EX_CONTROLPARENT);
    EXPECT_TRUE(GetWindowLongPtrW(page, GWL_EXSTYLE) & WS_EX_CONTROLPARENT);
    EXPECT_TRUE(IsWindowVisible(page));
    EXPECT_FALSE(IsWindowVisible(sheet.Page(1)));
    EXPECT_EQ(DialogTextureFlags(page), ETDT_ENABLETAB);
    EXPECT_EQ(EnableThemeDialogTexture(owner, ETDT_ENABLETAB), S_OK);
    EXPECT_EQ(EnableThemeDialogTexture(nullptr, ETDT_ENABLETAB), E_INVALIDARG);
    EXPECT_EQ(first.notifications, (std::vector<UINT>{PSN_SETACTIVE}));

    ASSERT_TRUE(sheet.SelectPage(1));
    EXPECT_FALSE(IsWindowVisible(page));
    EXPECT_EQ(first.notifications, (std::vector<UINT>{PSN_SETACTIVE, PSN_KILLACTIVE}));
    EXPECT_EQ(second.notifications, (std::vector<UINT>{PSN_SETACTIVE}));
    EXPECT_FALSE(sheet.Apply()); // the pages answer PSNRET_INVALID
    EXPECT_EQ(second.notifications.back(), PSN_APPLY);

    // The tab carries the page title.
    WCHAR text[32];
    TCITEMW item{TCIF_TEXT, 0, 0, text, 32, 0, 0};
    HWND tab = nullptr;
    for (int id = 0x3020; !tab; ++id)
        tab = GetDlgItem(sheet.Window(), id);
    ASSERT_TRUE(SendMessageW(tab, TCM_GETITEMW, 1, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ(std::u16string(text), u"Device Settings");
    DestroyWindow(owner);
}

TEST(PropertySheetTest, TheCloseBoxClosesTheSheetWithItsPagesAndLeavesTheOwner)
{
    const INITCOMMONCONTROLSEX init{sizeof(init), ICC_STANDARD_CLASSES};
    ASSERT_TRUE(InitCommonControlsEx(&init));
    HWND owner =
        CreateWindowExW(0, kStaticClass, u"Scanner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    PageLog log;
    PropertySheetWindow sheet(owner, u"Properties");
    PROPSHEETPAGEW record{};
    record.dwSize = PROPSHEETPAGEW_V1_SIZE;
    record.hInstance = plat::ThisModule();
    record.pszTemplate = MAKEINTRESOURCEW(kPageTemplate);
    record.pfnDlgProc = PageProc;
    record.lParam = reinterpret_cast<LPARAM>(&log);
    ASSERT_TRUE(sheet.AddPage(CreatePropertySheetPageW(&record)));
    ASSERT_TRUE(sheet.Create());
    HWND page = sheet.Page(0);
    // Other commands leave the sheet alone.
    SendMessageW(sheet.Window(), WM_COMMAND, MAKELONG(IDOK, BN_CLICKED), 0);
    ASSERT_TRUE(IsWindow(sheet.Window()));
    SendMessageW(sheet.Window(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(sheet.Window()));
    EXPECT_FALSE(IsWindow(page));
    EXPECT_TRUE(IsWindow(owner));
    sheet.Apply(); // the pages are gone: nothing is told
    EXPECT_EQ(log.notifications, (std::vector<UINT>{PSN_SETACTIVE}));
    DestroyWindow(owner);
}

// An icon group with 16 x 16 and 32 x 32 images, as a resource compiler
// stores it.
const BYTE kGroup[] = {0,  0,  1, 0, 2, 0,                           // header: icon, 2 entries
                       16, 16, 0, 0, 1, 0, 32, 0, 4, 0, 0, 0, 1, 0,  // 16 x 16, 32-bit, 4 bytes, id 1
                       32, 32, 0, 0, 1, 0, 32, 0, 4, 0, 0, 0, 2, 0}; // 32 x 32, 32-bit, 4 bytes, id 2
const BYTE kSmall[] = {1, 1, 1, 1};
const BYTE kLarge[] = {2, 2, 2, 2};
const BYTE kBrokenGroup[] = {0, 0, 1, 0, 9, 0};
const plat::BinaryResource kIcons[] = {
    {14, 201, kGroup, sizeof(kGroup)},
    {3, 1, kSmall, sizeof(kSmall)},
    {3, 2, kLarge, sizeof(kLarge)},
    {14, 202, kBrokenGroup, sizeof(kBrokenGroup)},
};
const plat::ModuleResources kResources{.binaries = kIcons};
const plat::ResourceRegistrar kRegistrar(kResources);

TEST(IconTest, LoadImagePicksTheImageNearestTheSizeAsked)
{
    struct Case {
        int size;
        int width;
        WORD imageId;
    };
    for (const Case c : {Case{16, 16, 1}, {20, 16, 1}, {24, 32, 2}, {48, 32, 2}, {0, 32, 2}}) {
        HICON icon = static_cast<HICON>(
            LoadImageW(plat::ThisModule(), MAKEINTRESOURCEW(201), IMAGE_ICON, c.size, c.size, LR_DEFAULTCOLOR));
        ASSERT_NE(icon, nullptr) << c.size;
        IconImage image{};
        ASSERT_TRUE(GetIconImage(icon, &image));
        EXPECT_EQ(image.width, c.width) << c.size;
        EXPECT_EQ(image.imageId, c.imageId) << c.size;
        EXPECT_EQ(image.size, 4u);
        EXPECT_TRUE(DestroyIcon(icon));
        EXPECT_FALSE(DestroyIcon(icon));
    }
    // A missing group, and a group whose entries run past its end.
    EXPECT_EQ(LoadImageW(plat::ThisModule(), MAKEINTRESOURCEW(999), IMAGE_ICON, 16, 16, 0), nullptr);
    EXPECT_EQ(LoadImageW(plat::ThisModule(), MAKEINTRESOURCEW(202), IMAGE_ICON, 16, 16, 0), nullptr);
    // Shared icons are one handle that destruction leaves alone.
    HICON shared = LoadIconW(plat::ThisModule(), MAKEINTRESOURCEW(201));
    EXPECT_EQ(LoadIconW(plat::ThisModule(), MAKEINTRESOURCEW(201)), shared);
    EXPECT_TRUE(DestroyIcon(shared));
    IconImage image{};
    EXPECT_TRUE(GetIconImage(shared, &image));
}

} // namespace
