#include "platform/shell/DataObject.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(ClipboardFormats, ANameKeepsItsNumberWhateverItsCase)
{
    const UINT names = RegisterClipboardFormatW(u"WIAItemNames");
    EXPECT_GE(names, 0xC000u);
    EXPECT_EQ(RegisterClipboardFormatW(u"wiaitemnames"), names);
    EXPECT_NE(RegisterClipboardFormatW(u"Shell IDList Array"), names);
    EXPECT_EQ(RegisterClipboardFormatW(u""), 0u);
    EXPECT_EQ(RegisterClipboardFormatW(nullptr), 0u);
}

TEST(MemoryDataObject, GivesEachFormatInAFreshGlobalBlock)
{
    const auto format = static_cast<CLIPFORMAT>(RegisterClipboardFormatW(u"WIAItemNames"));
    plat::shell::MemoryDataObject* data = plat::shell::MemoryDataObject::Create();
    data->SetBlock(format, plat::shell::WiaItemNamesBlock({u"dev"}));

    FORMATETC asked{format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    ASSERT_EQ(data->GetData(&asked, &medium), S_OK);
    ASSERT_EQ(medium.tymed, static_cast<DWORD>(TYMED_HGLOBAL));
    ASSERT_EQ(GlobalSize(medium.hGlobal), 5 * sizeof(char16_t));
    EXPECT_EQ(std::memcmp(GlobalLock(medium.hGlobal), u"dev\0", 5 * sizeof(char16_t)), 0);
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    EXPECT_EQ(medium.hGlobal, nullptr);
    EXPECT_EQ(medium.tymed, static_cast<DWORD>(TYMED_NULL));

    const struct {
        const char* name;
        FORMATETC format;
        HRESULT expected;
    } refused[] = {
        {"another format",
         {static_cast<CLIPFORMAT>(format + 1), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL},
         DV_E_FORMATETC},
        {"another aspect", {format, nullptr, 4, -1, TYMED_HGLOBAL}, DV_E_DVASPECT},
        {"an index", {format, nullptr, DVASPECT_CONTENT, 0, TYMED_HGLOBAL}, DV_E_LINDEX},
        {"another medium", {format, nullptr, DVASPECT_CONTENT, -1, TYMED_FILE}, DV_E_TYMED},
    };
    for (auto c : refused) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(data->GetData(&c.format, &medium), c.expected);
        EXPECT_EQ(data->QueryGetData(&c.format), c.expected);
    }
    data->Release();
}

TEST(CommonControls, DllGetVersionAnswersBothRecordSizes)
{
    DLLVERSIONINFO2 full{};
    full.info1.cbSize = sizeof full;
    ASSERT_EQ(DllGetVersion(&full.info1), S_OK);
    EXPECT_EQ(full.info1.dwMajorVersion, 6u);
    EXPECT_EQ(full.info1.dwMinorVersion, 10u);
    EXPECT_EQ(full.ullVersion >> 32, (ULONGLONG{6} << 16) | 10);

    plat::ui::SetCommonControlsVersion(5, 82);
    DLLVERSIONINFO small{};
    small.cbSize = sizeof small;
    ASSERT_EQ(DllGetVersion(&small), S_OK);
    EXPECT_EQ(small.dwMajorVersion, 5u);
    EXPECT_EQ(small.dwMinorVersion, 82u);
    plat::ui::SetCommonControlsVersion(6, 10);

    small.cbSize = 24;
    EXPECT_EQ(DllGetVersion(&small), E_INVALIDARG);
    EXPECT_EQ(DllGetVersion(nullptr), E_INVALIDARG);
}

} // namespace
