#include "platform/devices/DeviceDatabase.h"
#include "platform/shell/DataObject.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/ui/DialogTemplate.h"
#include "platform/ui/Theme.h"
#include "platform/ui/UserActions.h"
#include "platform/wia/WiaItemBase.h"
#include "shellext/CRNXHWPropertyPage.h"
#include "shellext/ResourceIds.h"
#include "shellext/WiaItemNames.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

namespace {

namespace fs = std::filesystem;
using plat::shell::MemoryDataObject;
using plat::shell::WiaItemNamesBlock;

constexpr char16_t kSupportAddress[] = u"http://www.quorvant.example/support";

// An item below the root: what a data object of a scanned picture holds.
class ChildItem final : public plat::wia::WiaItemBase {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = riid == IID_IUnknown || riid == IID_IWiaItem ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetItemType(LONG* type) override
    {
        *type = WiaItemTypeFile | WiaItemTypeImage;
        return S_OK;
    }
};

// The opener that ShellExecute starts writes what it was given to a file.
class RecordingOpener {
public:
    explicit RecordingOpener(const fs::path& folder) : m_script(folder / "opener.sh"), m_opened(folder / "opened.txt")
    {
        std::ofstream(m_script) << "#!/bin/sh\nprintf '%s' \"$1\" > \"$0.tmp\" && mv \"$0.tmp\" '" << m_opened.string()
                                << "'\n";
        fs::permissions(m_script, fs::perms::owner_all);
        setenv(plat::kShellOpenVariable, m_script.c_str(), 1);
    }
    ~RecordingOpener() { unsetenv(plat::kShellOpenVariable); }

    // What the opener was handed; the opener runs on its own, so this waits
    // for its file (bounded, not timed).
    std::string Opened()
    {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!fs::exists(m_opened)) {
            if (std::chrono::steady_clock::now() > limit)
                return "<nothing opened>";
            std::this_thread::yield();
        }
        std::ifstream in(m_opened);
        std::string text;
        std::getline(in, text);
        fs::remove(m_opened);
        return text;
    }

private:
    fs::path m_script;
    fs::path m_opened;
};

class PropertyPageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
        plat::devices::DeviceRecord record;
        ASSERT_TRUE(plat::devices::AddDevice({0x0ABC, 0x0DEF, u"SHELL01", u"Quillbox K24", u"Quorvant"}, &record));
        m_deviceId = record.driverKey;
        const std::u16string key = u"SYSTEM\\CurrentControlSet\\Control\\Class\\" + m_deviceId;
        HKEY driver = nullptr;
        ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_WRITE, &driver), ERROR_SUCCESS);
        const std::u16string usdClass = u"{8F2A4C61-3B7D-4E59-A1C8-D64E0B7F2935}";
        RegSetValueExW(driver, u"USDClass", 0, REG_SZ, reinterpret_cast<const BYTE*>(usdClass.c_str()),
                       static_cast<DWORD>((usdClass.size() + 1) * sizeof(char16_t)));
        RegCloseKey(driver);
        const INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
        ASSERT_TRUE(InitCommonControlsEx(&controls));
        m_owner = CreateWindowExW(0, u"Static", u"Scanner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        plat::ui::SetCommonControlsVersion(6, 10);
    }
    void TearDown() override
    {
        plat::ui::SetCommonControlsVersion(6, 10);
        if (m_owner)
            DestroyWindow(m_owner);
        CoUninitialize();
    }

    static plat::ComPtr<IShellExtInit> NewPage()
    {
        plat::ComPtr<IShellExtInit> page;
        EXPECT_EQ(CRNXHWPropertyPage::Create(nullptr, IID_IShellExtInit, page.ReleaseAndGetVoidAddress()), S_OK);
        return page;
    }

    static HRESULT InitializeWithNames(IShellExtInit* page, const std::vector<BYTE>& block)
    {
        MemoryDataObject* data = MemoryDataObject::Create();
        data->SetBlock(static_cast<CLIPFORMAT>(RegisterClipboardFormatW(u"WIAItemNames")), block);
        const HRESULT hr = page->Initialize(nullptr, data, nullptr);
        data->Release();
        return hr;
    }

    static HRESULT InitializeWithItem(IShellExtInit* page, IUnknown* item)
    {
        MemoryDataObject* data = MemoryDataObject::Create();
        data->SetItem(item);
        const HRESULT hr = page->Initialize(nullptr, data, nullptr);
        data->Release();
        return hr;
    }

    // A sheet holding the page of a new, initialised page object; the
    // object lives on in the sheet only.
    std::unique_ptr<plat::ui::PropertySheetWindow> OpenSheet(HWND owner)
    {
        auto sheet = std::make_unique<plat::ui::PropertySheetWindow>(owner, u"Quillbox K24 Properties");
        auto page = NewPage();
        EXPECT_EQ(InitializeWithNames(page.Get(), WiaItemNamesBlock({m_deviceId})), S_OK);
        plat::ComPtr<IShellPropSheetExt> extension;
        EXPECT_EQ(page->QueryInterface(IID_IShellPropSheetExt, extension.ReleaseAndGetVoidAddress()), S_OK);
        EXPECT_EQ(
            extension->AddPages(&plat::ui::PropertySheetWindow::AddPageCallback, reinterpret_cast<LPARAM>(sheet.get())),
            S_OK);
        EXPECT_TRUE(sheet->Create());
        return sheet;
    }

    static std::u16string Text(HWND window)
    {
        WCHAR text[512] = {};
        GetWindowTextW(window, text, 512);
        return text;
    }

    plat::testing::TempSystemRoot m_root;
    std::u16string m_deviceId;
    HWND m_owner = nullptr;
};

TEST_F(PropertyPageTest, InitializeTakesARootItemOrOneQualifyingItemName)
{
    plat::ComPtr<IWiaItem> root;
    ASSERT_EQ(CreateWiaDevice(m_deviceId, root.ReleaseAndGetAddressOf()), S_OK);
    ChildItem child;
    auto page = NewPage();
    ASSERT_TRUE(page);
    EXPECT_EQ(page->Initialize(nullptr, nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(InitializeWithItem(page.Get(), root.Get()), S_OK);
    EXPECT_EQ(InitializeWithItem(page.Get(), &child), E_FAIL);

    const std::u16string unknown = u"{6BDD1FC6-810F-11D0-BEC7-08002BE2092F}\\0099";
    const struct {
        const char* name;
        std::vector<BYTE> block;
        HRESULT expected;
    } cases[] = {
        {"one device id", WiaItemNamesBlock({m_deviceId}), S_OK},
        {"one id ending in ':'", WiaItemNamesBlock({m_deviceId + u":"}), S_OK},
        {"two tokens", WiaItemNamesBlock({u"a:b"}), E_FAIL},
        {"two entries", WiaItemNamesBlock({m_deviceId, m_deviceId}), E_FAIL},
        {"no entry", WiaItemNamesBlock({}), E_FAIL},
        {"a device not installed", WiaItemNamesBlock({unknown}), WIA_S_NO_DEVICE_AVAILABLE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(InitializeWithNames(page.Get(), c.block), c.expected);
    }
    // A block cut before its closing empty entry is never read past.
    std::vector<BYTE> cut = WiaItemNamesBlock({m_deviceId});
    cut.resize(cut.size() - 2 * sizeof(char16_t));
    EXPECT_EQ(InitializeWithNames(page.Get(), cut), E_FAIL);
    // A data object without the list.
    MemoryDataObject* empty = MemoryDataObject::Create();
    EXPECT_EQ(page->Initialize(nullptr, empty, nullptr), DV_E_FORMATETC);
    empty->Release();
}

TEST(WiaItemNames, ListsAreReadWithinTheirBlock)
{
    const auto block = [](std::u16string_view text) {
        const auto* bytes = reinterpret_cast<const BYTE*>(text.data());
        return std::vector<BYTE>(bytes, bytes + text.size() * sizeof(char16_t));
    };
    // clang-format off
    const struct {
        const char* name;
        std::vector<BYTE> bytes;
        bool wellFormed;
        std::vector<std::u16string> names;
    } cases[] = {
        {"two entries", block(std::u16string_view(u"a\0bc\0\0", 6)), true, {u"a", u"bc"}},
        {"empty list", block(std::u16string_view(u"\0", 1)), true, {}},
        {"no terminator at all", block(u"abc"), false, {}},
        {"no closing entry", block(std::u16string_view(u"abc\0", 4)), false, {}},
        {"empty block", {}, false, {}},
        {"odd byte after the list", [&] { auto b = block(std::u16string_view(u"a\0\0", 3)); b.push_back('x'); return b; }(),
         true, {u"a"}},
        {"half a character", {'a'}, false, {}},
    };
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::u16string> names{u"stale"};
        EXPECT_EQ(ParseWiaItemNames(c.bytes.data(), c.bytes.size(), &names), c.wellFormed);
        EXPECT_EQ(names, c.names);
    }
}

TEST(WiaItemNames, EntriesSplitIntoTheirNonEmptyTokens)
{
    using Tokens = std::vector<std::u16string>;
    EXPECT_EQ(SplitDeviceName(u"{X}\\0000"), Tokens{u"{X}\\0000"});
    EXPECT_EQ(SplitDeviceName(u"{X}\\0000:"), Tokens{u"{X}\\0000"});
    EXPECT_EQ(SplitDeviceName(u":{X}\\0000"), Tokens{u"{X}\\0000"});
    EXPECT_EQ(SplitDeviceName(u"a:b"), (Tokens{u"a", u"b"}));
    EXPECT_EQ(SplitDeviceName(u":"), Tokens{});
}

TEST_F(PropertyPageTest, ThePageShowsTheLibrarysVersionTextsAndRetitlesABusySheet)
{
    const struct {
        const char16_t* title;
        const char16_t* shown;
    } cases[] = {
        {u"Quillbox DO NOT CHECK BUSY HARDWARE Properties", u"Device Configuration Properties"},
        {u"Quillbox do not check busy hardware", u"Quillbox do not check busy hardware"},
    };
    for (const auto& c : cases) {
        SetWindowTextW(m_owner, c.title);
        auto sheet = OpenSheet(m_owner);
        HWND page = sheet->Page(0);
        ASSERT_NE(page, nullptr);
        EXPECT_EQ(Text(m_owner), c.shown);
        EXPECT_EQ(Text(GetDlgItem(page, IDC_FILE_VERSION)), u"5.0.0.1");
        EXPECT_EQ(Text(GetDlgItem(page, IDC_PRODUCT_NAME)), u"Quillbox K24");
        EXPECT_EQ(Text(GetDlgItem(page, IDC_COPYRIGHT)), u"Copyright (C) Quorvant");
        EXPECT_EQ(Text(GetDlgItem(page, IDC_DEVICE_INFO)), u"Zolta Quillbox K24");
        EXPECT_EQ(plat::ui::DialogTextureFlags(page), ETDT_ENABLETAB);
    }
}

TEST(PropertyPageVersion, ALaterTranslationReplacesAnEarlierOnesTexts)
{
    // A new page object, as its class.
    const auto newPage = [] {
        IPropertyPage* page = nullptr;
        EXPECT_EQ(CRNXHWPropertyPage::Create(nullptr, IID_IPropertyPage, reinterpret_cast<void**>(&page)), S_OK);
        return static_cast<CRNXHWPropertyPage*>(page);
    };
    CRNXHWPropertyPage* page = newPage();
    ASSERT_NE(page, nullptr);
    page->ReadVersionInfo(Utf8ToUtf16(QBK_RESOURCES_TESTLIB));
    EXPECT_EQ(page->m_strProductName, u"Quillbox K24 (de)");
    EXPECT_EQ(page->m_strLegalCopyright, u"Copyright (C) Quorvant"); // only the first has it
    EXPECT_EQ(page->m_strFileVersion, u"5.0.12.3");
    page->Release();

    // No version block, or no file: the texts stay empty.
    const std::string platform = plat::ModulePath(plat::ModuleFromAddress(reinterpret_cast<const void*>(&LoadStringW)));
    for (const std::string& path : {platform, std::string("/no/such/library.so")}) {
        SCOPED_TRACE(path);
        page = newPage();
        ASSERT_NE(page, nullptr);
        page->ReadVersionInfo(Utf8ToUtf16(path));
        EXPECT_EQ(page->m_strProductName, u"");
        EXPECT_EQ(page->m_strLegalCopyright, u"");
        EXPECT_EQ(page->m_strFileVersion, u"");
        page->Release();
    }
}

TEST_F(PropertyPageTest, BothFormsOfTheLinkOpenTheSupportAddress)
{
    RecordingOpener opener(m_root.Path());
    {
        SCOPED_TRACE("common controls 6.10: the link control in the static's place");
        auto sheet = OpenSheet(m_owner);
        HWND page = sheet->Page(0);
        HWND support = GetDlgItem(page, IDC_STATIC_SUPPORT);
        HWND link = GetDlgItem(page, IDC_SYSLINK_SUPPORT);
        ASSERT_NE(link, nullptr);
        EXPECT_FALSE(IsWindowVisible(support));
        EXPECT_TRUE(IsWindowVisible(link));
        RECT staticRect{}, linkRect{};
        GetWindowRect(support, &staticRect);
        GetWindowRect(link, &linkRect);
        EXPECT_EQ(std::vector<LONG>({linkRect.left, linkRect.top, linkRect.right, linkRect.bottom}),
                  std::vector<LONG>({staticRect.left, staticRect.top, staticRect.right, staticRect.bottom}));
        EXPECT_EQ(SendMessageW(link, WM_GETFONT, 0, 0), SendMessageW(page, WM_GETFONT, 0, 0));
        ASSERT_TRUE(plat::ui::Click(link));
        EXPECT_EQ(opener.Opened(), Utf16ToUtf8(kSupportAddress));
    }
    {
        SCOPED_TRACE("common controls 5.82: the static notifies its clicks");
        plat::ui::SetCommonControlsVersion(5, 82);
        auto sheet = OpenSheet(m_owner);
        HWND page = sheet->Page(0);
        HWND support = GetDlgItem(page, IDC_STATIC_SUPPORT);
        EXPECT_EQ(GetDlgItem(page, IDC_SYSLINK_SUPPORT), nullptr);
        EXPECT_TRUE(IsWindowVisible(support));
        EXPECT_TRUE(GetWindowLongPtrW(support, GWL_STYLE) & SS_NOTIFY);
        ASSERT_TRUE(plat::ui::Click(support));
        EXPECT_EQ(opener.Opened(), Utf16ToUtf8(kSupportAddress));
    }
}

TEST_F(PropertyPageTest, TwoPagesOpenAtOnceEachAnswerTheirOwnMessages)
{
    RecordingOpener opener(m_root.Path());
    SetWindowTextW(m_owner, u"First DO NOT CHECK BUSY HARDWARE");
    auto first = OpenSheet(m_owner);
    HWND secondOwner = CreateWindowExW(0, u"Static", u"Second DO NOT CHECK BUSY HARDWARE", WS_POPUP, 0, 0, 10, 10,
                                       nullptr, nullptr, nullptr, nullptr);
    auto second = OpenSheet(secondOwner);
    // Each page initialised with its own sheet.
    EXPECT_EQ(Text(m_owner), u"Device Configuration Properties");
    EXPECT_EQ(Text(secondOwner), u"Device Configuration Properties");

    ASSERT_TRUE(plat::ui::Click(GetDlgItem(first->Page(0), IDC_SYSLINK_SUPPORT)));
    EXPECT_EQ(opener.Opened(), Utf16ToUtf8(kSupportAddress));
    // The first page goes on working after the second one is gone.
    second.reset();
    DestroyWindow(secondOwner);
    ASSERT_TRUE(plat::ui::Click(GetDlgItem(first->Page(0), IDC_SYSLINK_SUPPORT)));
    EXPECT_EQ(opener.Opened(), Utf16ToUtf8(kSupportAddress));
}

TEST_F(PropertyPageTest, TheSheetsPageHoldsTheObjectUntilItIsDestroyed)
{
    ASSERT_EQ(CRNXShellExtModule().LockCount(), 0);
    auto sheet = OpenSheet(m_owner);
    // The shell has let go of the extension; the page still reaches it.
    EXPECT_GT(CRNXShellExtModule().LockCount(), 0);
    sheet.reset();
    EXPECT_EQ(CRNXShellExtModule().LockCount(), 0);

    // A sheet that refuses the page: the page is destroyed, nothing held.
    auto page = NewPage();
    plat::ComPtr<IShellPropSheetExt> extension;
    ASSERT_EQ(page->QueryInterface(IID_IShellPropSheetExt, extension.ReleaseAndGetVoidAddress()), S_OK);
    const LPFNADDPROPSHEETPAGE refuse = [](HPROPSHEETPAGE, LPARAM) -> BOOL { return FALSE; };
    EXPECT_EQ(extension->AddPages(refuse, 0), E_FAIL);
    EXPECT_EQ(extension->ReplacePage(0, refuse, 0), E_NOTIMPL);
    extension = nullptr;
    page = nullptr;
    EXPECT_EQ(CRNXShellExtModule().LockCount(), 0);
}

TEST_F(PropertyPageTest, StyleChangesWithObjectsKeepThePageAControlParent)
{
    for (const ULONG objects : {0u, 1u}) {
        SCOPED_TRACE(objects);
        auto sheet = OpenSheet(m_owner);
        HWND pageWindow = sheet->Page(0);
        auto* page = reinterpret_cast<CRNXHWPropertyPage*>(GetWindowLongPtrW(pageWindow, DWLP_USER));
        ASSERT_NE(page, nullptr);
        IUnknown* object = page->InnerUnknown();
        ASSERT_EQ(page->SetObjects(objects, &object), S_OK);
        plat::ui::ChangeWindowStyle(pageWindow, GWL_EXSTYLE, 0);
        EXPECT_EQ(GetWindowLongPtrW(pageWindow, GWL_EXSTYLE) & WS_EX_CONTROLPARENT,
                  objects ? LONG_PTR{WS_EX_CONTROLPARENT} : 0);
        // Other styles: answered 1 (handled) with objects, left alone without.
        LRESULT result = -1;
        STYLESTRUCT change{0, WS_CHILD};
        EXPECT_EQ(page->ProcessWindowMessage(pageWindow, WM_STYLECHANGING, static_cast<WPARAM>(GWL_STYLE),
                                             reinterpret_cast<LPARAM>(&change), result),
                  objects ? TRUE : FALSE);
        if (objects) {
            EXPECT_EQ(result, 1);
        }
        page->SetObjects(0, nullptr);
    }
}

TEST_F(PropertyPageTest, MessagesNoHandlerTakesAnswerFalse)
{
    auto sheet = OpenSheet(m_owner);
    HWND pageWindow = sheet->Page(0);
    auto* page = reinterpret_cast<CRNXHWPropertyPage*>(GetWindowLongPtrW(pageWindow, DWLP_USER));
    ASSERT_NE(page, nullptr);
    NMHDR other{nullptr, 2050, NM_CLICK};
    for (const auto& [message, wParam, lParam] : {std::tuple<UINT, WPARAM, LPARAM>{WM_USER + 7, 1, 2},
                                                  {WM_NOTIFY, 2050, reinterpret_cast<LPARAM>(&other)},
                                                  {WM_COMMAND, MAKELONG(IDC_STATIC_SUPPORT, 1), 0}}) {
        SCOPED_TRACE(message);
        EXPECT_EQ(PropertyPageMessageCallback(pageWindow, message, wParam, lParam, page), FALSE);
    }
}

TEST_F(PropertyPageTest, AsAnOlePropertyPageItShowsItsDialogInTheFramesWindow)
{
    plat::ComPtr<IPropertyPage> page;
    ASSERT_EQ(CRNXHWPropertyPage::Create(nullptr, IID_IPropertyPage, page.ReleaseAndGetVoidAddress()), S_OK);
    PROPPAGEINFO info{};
    ASSERT_EQ(page->GetPageInfo(&info), S_OK);
    EXPECT_EQ(std::u16string(info.pszTitle), u"Hardware Properties");
    EXPECT_EQ(std::u16string(info.pszHelpFile), u"Help File Name");
    EXPECT_EQ(std::u16string(info.pszDocString), u"Your Help String");
    const RECT size = plat::ui::DialogUnitsToPixels(0, 0, 302, 185);
    EXPECT_EQ(info.size.cx, size.right);
    EXPECT_EQ(info.size.cy, size.bottom);
    CoTaskMemFree(info.pszTitle);
    CoTaskMemFree(info.pszHelpFile);
    CoTaskMemFree(info.pszDocString);

    const RECT place{5, 5, 400, 300};
    ASSERT_EQ(page->Activate(m_owner, &place, FALSE), S_OK);
    EXPECT_EQ(page->IsPageDirty(), S_FALSE);
    EXPECT_EQ(page->Apply(), S_OK);
    EXPECT_EQ(page->TranslateAccelerator(nullptr), E_NOTIMPL);
    EXPECT_EQ(page->Deactivate(), S_OK);
    EXPECT_EQ(page->Deactivate(), E_UNEXPECTED);
}

} // namespace
