// The themed background: the texture call reaches the theming library only
// when the application is themed, and the library handle is held for the
// dialog object's life.
#include "themeddlg/CThemedDlg.h"

#include "platform/ui/DialogTemplate.h"
#include "platform/ui/Theme.h"

#include <gtest/gtest.h>

namespace {

using namespace plat::ui;

constexpr WORD kPage = 7102;
const DialogTemplateRegistrar kTemplate(kPage, DialogTemplate{WS_CHILD | DS_CONTROL,
                                                              0,
                                                              u"",
                                                              0,
                                                              0,
                                                              100,
                                                              40,
                                                              u"MS Shell Dlg",
                                                              8,
                                                              {
                                                                  {kStaticClass, -1, u"Page", SS_LEFT, 0, 7, 7, 50, 8},
                                                              }});

INT_PTR PlainProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

class ScopedThemed {
public:
    explicit ScopedThemed(bool themed) { SetAppThemed(themed); }
    ~ScopedThemed() { SetAppThemed(true); }
};

TEST(ThemedDlgTest, TextureIsAskedForOnlyWhenTheApplicationIsThemed)
{
    const HWND page = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(kPage), nullptr, &PlainProc, 0);
    ASSERT_NE(page, nullptr);
    struct Case {
        const char* what;
        bool themed;
        DWORD flags;
        HRESULT result;
        DWORD recorded;
    };
    const Case cases[] = {
        {"themed, tab texture", true, ETDT_ENABLETAB, S_OK, ETDT_ENABLETAB},
        {"themed, turned off again", true, ETDT_DISABLE, S_OK, ETDT_DISABLE},
        {"classic look", false, ETDT_ENABLETAB, TRUE, ETDT_DISABLE}, // left as it was
    };
    CThemedDlg themed;
    ASSERT_NE(themed.ThemeLibrary, nullptr);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedThemed setting(c.themed);
        EXPECT_EQ(themed.EnableThemeDialogTexture(page, c.flags), c.result);
        EXPECT_EQ(DialogTextureFlags(page), c.recorded);
    }
    // The library's own answer comes back as it is.
    EXPECT_EQ(themed.EnableThemeDialogTexture(nullptr, ETDT_ENABLETAB), E_INVALIDARG);
    DestroyWindow(page);
}

TEST(ThemedDlgTest, WithoutTheLibraryNothingIsCalledOrFreed)
{
    const HWND page = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(kPage), nullptr, &PlainProc, 0);
    ASSERT_NE(page, nullptr);
    {
        CThemedDlg classic;
        if (classic.ThemeLibrary)
            FreeLibrary(classic.ThemeLibrary);
        classic.ThemeLibrary = nullptr; // as on a system without the library
        EXPECT_EQ(classic.EnableThemeDialogTexture(page, ETDT_ENABLETAB), TRUE);
        EXPECT_EQ(DialogTextureFlags(page), 0u);
        EXPECT_EQ(classic.EnableThemeDialogTexture(nullptr, ETDT_ENABLETAB), TRUE);
    }
    // Many dialogs come and go, each loading and freeing once; the library
    // stays usable for the next.
    for (int i = 0; i < 3; ++i) {
        CThemedDlg dialog;
        ASSERT_NE(dialog.ThemeLibrary, nullptr);
    }
    CThemedDlg last;
    EXPECT_EQ(last.EnableThemeDialogTexture(page, ETDT_ENABLETAB), S_OK);
    EXPECT_EQ(DialogTextureFlags(page), ETDT_ENABLETAB);
    DestroyWindow(page);
}

} // namespace
