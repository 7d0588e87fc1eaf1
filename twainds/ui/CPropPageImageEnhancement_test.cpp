// The image enhancement page as the user meets it in the settings dialog:
// what it enables and checks for each colour mode and technique, the
// percentage trackbars over the device's -1000..1000, the remembered
// dropout colour and photo method, and the halftone names as the list
// shows them.
#include "twainds/testing/SettingsDialogTest.h"
#include "twainds/ui/CPropPageImageEnhancement.h"

#include <algorithm>

namespace {

using qbk24::testing::ComboData;
using qbk24::testing::ComboSelection;
using qbk24::testing::ComboTexts;
using qbk24::testing::WindowText;
using Trellis::CTWAINOneValue;

constexpr TW_UINT16 kDynamic = 0x8000;

class ImageEnhancementPageTest : public qbk24::testing::SettingsDialogTest {
protected:
    HWND Page() { return m_dialog->ImageEnhancementPage->m_hWnd; }
    HWND Item(int id) { return GetDlgItem(Page(), id); }
    bool Enabled(int id) { return IsWindowEnabled(Item(id)) != FALSE; }
    bool Checked(int id) { return IsDlgButtonChecked(Page(), id) == BST_CHECKED; }
    void Show() { ShowPage(IDS_TAB_IMAGE_ENHANCEMENTS); }
    void Click(int id) { ASSERT_TRUE(plat::ui::Click(Item(id))) << id; }
    void ChooseMethod(const std::u16string& text)
    {
        const std::vector<std::u16string> texts = ComboTexts(Item(IDC_HALFTONE_METHOD));
        const auto at = std::find(texts.begin(), texts.end(), text);
        ASSERT_NE(at, texts.end());
        ASSERT_TRUE(plat::ui::ChooseComboItem(Item(IDC_HALFTONE_METHOD), static_cast<int>(at - texts.begin())));
    }
    // A scroll message as the trackbar sends it while the user moves it.
    void Scroll(int id, int position, int code)
    {
        SendMessageW(Item(id), TBM_SETPOS, TRUE, position);
        const LPARAM trackbar = reinterpret_cast<LPARAM>(Item(id));
        SendMessageW(Page(), WM_HSCROLL, MAKELONG(static_cast<WORD>(code), static_cast<WORD>(position)), trackbar);
    }
    TW_UINT16 Filter() { return m_source.GetFilterCurrent().GetArray().GetAt(0).GetUInt16(); }
    std::string Halftone() { return Ask(ICAP_HALFTONES, MSG_GETCURRENT).GetOneValue().GetString(); }
    int Position(int id) { return static_cast<int>(SendMessageW(Item(id), TBM_GETPOS, 0, 0)); }
};

TEST_F(ImageEnhancementPageTest, ModeAndTechniqueDecideWhatIsEnabledAndChecked)
{
    enum Action { kNone, kText, kPhoto, kMixed };
    struct Row {
        const char* name;
        int mode;
        Action action;
        bool brightness, contrast, threshold, dynamic, technique, method, dropout, despeckle;
        int checkedTechnique; // 0: none
        TW_UINT16 reduction;
    };
    const Row rows[] = {
        {"gray", IDC_MODE_GRAY, kNone, true, true, false, false, false, false, true, false, 0, kDynamic},
        {"colour", IDC_MODE_COLOR, kNone, true, true, false, false, false, false, false, false, 0, kDynamic},
        {"black and white", IDC_MODE_BW, kNone, false, false, false, true, true, false, true, true,
         IDC_TECHNIQUE_DYNAMIC, kDynamic},
        {"text", IDC_MODE_BW, kText, false, false, true, false, true, false, true, true, IDC_TECHNIQUE_TEXT,
         TWBR_THRESHOLD},
        {"photo", IDC_MODE_BW, kPhoto, false, false, true, false, true, true, true, true, IDC_TECHNIQUE_PHOTO,
         TWBR_DIFFUSION},
        {"mixed", IDC_MODE_BW, kMixed, false, false, true, false, true, true, true, true, IDC_TECHNIQUE_MIXED,
         TWBR_DIFFUSION},
    };
    const int actions[] = {0, IDC_TECHNIQUE_TEXT, IDC_TECHNIQUE_PHOTO, IDC_TECHNIQUE_MIXED};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ChooseMode(row.mode);
        Show();
        if (row.action != kNone)
            Click(actions[row.action]);
        EXPECT_EQ(Enabled(IDC_BRIGHTNESS), row.brightness);
        EXPECT_EQ(Enabled(IDC_BRIGHTNESS_LABEL), row.brightness);
        EXPECT_EQ(Enabled(IDC_CONTRAST), row.contrast);
        EXPECT_EQ(Enabled(IDC_THRESHOLD), row.threshold);
        EXPECT_EQ(Enabled(IDC_THRESHOLD_TEXT), row.threshold);
        EXPECT_EQ(Enabled(IDC_DYNAMIC_THRESHOLD), row.dynamic);
        EXPECT_EQ(Enabled(IDC_DYNAMIC_THRESHOLD_DARK), row.dynamic);
        EXPECT_EQ(Enabled(IDC_TECHNIQUE_LABEL), row.technique);
        EXPECT_EQ(Enabled(IDC_TECHNIQUE_TEXT), row.technique);
        EXPECT_EQ(Enabled(IDC_HALFTONE_METHOD), row.method);
        EXPECT_EQ(Enabled(IDC_HALFTONE_METHOD_LABEL), row.method);
        EXPECT_EQ(Enabled(IDC_COLOR_DROPOUT), row.dropout);
        EXPECT_EQ(Enabled(IDC_DESPECKLE), row.despeckle);
        for (int radio : {IDC_TECHNIQUE_TEXT, IDC_TECHNIQUE_PHOTO, IDC_TECHNIQUE_MIXED, IDC_TECHNIQUE_DYNAMIC})
            EXPECT_EQ(Checked(radio), radio == row.checkedTechnique) << radio;
        EXPECT_EQ(Current(ICAP_BITDEPTHREDUCTION), row.reduction);
        EXPECT_EQ(m_source.AutoSeparation, row.action == kMixed);
    }
}

TEST_F(ImageEnhancementPageTest, BlackAndWhiteStartsWithDynamicThresholdingAndErrorDiffusionSelected)
{
    ChooseMode(IDC_MODE_BW);
    Show();
    EXPECT_EQ(WindowText(Item(IDC_DYNAMIC_THRESHOLD_TEXT)), u"8");
    EXPECT_EQ(Position(IDC_DYNAMIC_THRESHOLD), 8);
    EXPECT_EQ(WindowText(Item(IDC_THRESHOLD_TEXT)), u"128");
    EXPECT_EQ(ComboSelection(Item(IDC_HALFTONE_METHOD)), u"Error diffusion");
    // The end labels show the trackbar's range, whatever the template says.
    EXPECT_EQ(WindowText(Item(IDC_BRIGHTNESS_LOW)), u"0");
    EXPECT_EQ(WindowText(Item(IDC_BRIGHTNESS_HIGH)), u"100");
    EXPECT_EQ(WindowText(Item(IDC_CONTRAST_HIGH)), u"100");

    // Text thresholding hands the threshold back to the user.
    Click(IDC_TECHNIQUE_TEXT);
    EXPECT_TRUE(Enabled(IDC_THRESHOLD));
    EXPECT_FALSE(Enabled(IDC_DYNAMIC_THRESHOLD));
    Scroll(IDC_THRESHOLD, 200, TB_ENDTRACK);
    EXPECT_EQ(Current(ICAP_THRESHOLD), 200);
    EXPECT_EQ(WindowText(Item(IDC_THRESHOLD_TEXT)), u"200");
}

TEST_F(ImageEnhancementPageTest, BrightnessShowsAndSetsItsRangeAsPercent)
{
    ChooseMode(IDC_MODE_GRAY);
    struct Shown {
        float current;
        int position;
    };
    for (const Shown& row : {Shown{500, 75}, Shown{1, 50}, Shown{-1, 49}, Shown{-1000, 0}, Shown{1000, 100}}) {
        SCOPED_TRACE(row.current);
        m_source.SetBrightnessCurrent(row.current);
        Show();
        EXPECT_EQ(Position(IDC_BRIGHTNESS), row.position);
        EXPECT_EQ(WindowText(Item(IDC_BRIGHTNESS_TEXT)), Utf8ToUtf16(std::to_string(row.position) + "%"));
    }
    struct Set {
        int position;
        float value;
    };
    for (const Set& row : {Set{75, 500}, Set{50, 0}, Set{33, -340}, Set{0, -1000}, Set{100, 1000}}) {
        SCOPED_TRACE(row.position);
        ASSERT_TRUE(plat::ui::DragTrackbar(Item(IDC_CONTRAST), row.position));
        EXPECT_EQ(Current(ICAP_CONTRAST), row.value);
    }
}

TEST_F(ImageEnhancementPageTest, ADragSetsNothingUntilTheThumbIsLetGoWhileEachKeyStepSets)
{
    ChooseMode(IDC_MODE_GRAY);
    Show();
    Scroll(IDC_BRIGHTNESS, 80, TB_THUMBTRACK);
    EXPECT_EQ(WindowText(Item(IDC_BRIGHTNESS_TEXT)), u"80%");
    EXPECT_EQ(Current(ICAP_BRIGHTNESS), 0);
    Scroll(IDC_BRIGHTNESS, 80, TB_THUMBPOSITION);
    EXPECT_EQ(Current(ICAP_BRIGHTNESS), 0);
    Scroll(IDC_BRIGHTNESS, 80, TB_ENDTRACK);
    EXPECT_EQ(Current(ICAP_BRIGHTNESS), 600);

    ASSERT_TRUE(plat::ui::StepTrackbar(Item(IDC_BRIGHTNESS), TB_LINEDOWN));
    EXPECT_EQ(WindowText(Item(IDC_BRIGHTNESS_TEXT)), u"81%");
    EXPECT_EQ(Current(ICAP_BRIGHTNESS), 620);
    ASSERT_TRUE(plat::ui::StepTrackbar(Item(IDC_BRIGHTNESS), TB_TOP));
    EXPECT_EQ(Current(ICAP_BRIGHTNESS), -1000);
}

TEST_F(ImageEnhancementPageTest, ColourDropoutRemembersTheColourItWasSwitchedOffWith)
{
    ChooseMode(IDC_MODE_GRAY);
    Show();
    EXPECT_TRUE(Enabled(IDC_COLOR_DROPOUT));
    EXPECT_FALSE(Checked(IDC_COLOR_DROPOUT));
    EXPECT_FALSE(Enabled(IDC_DROPOUT_GREEN));
    EXPECT_TRUE(Checked(IDC_DROPOUT_GREEN));

    Click(IDC_COLOR_DROPOUT);
    EXPECT_EQ(Filter(), TWFT_GREEN);
    EXPECT_TRUE(Enabled(IDC_DROPOUT_RED));
    Click(IDC_DROPOUT_BLUE);
    EXPECT_EQ(Filter(), TWFT_BLUE);

    Click(IDC_COLOR_DROPOUT);
    EXPECT_EQ(Filter(), TWFT_NONE);
    EXPECT_FALSE(Enabled(IDC_DROPOUT_BLUE));
    EXPECT_TRUE(Checked(IDC_DROPOUT_BLUE));
    EXPECT_FALSE(Checked(IDC_DROPOUT_GREEN));
    Click(IDC_COLOR_DROPOUT);
    EXPECT_EQ(Filter(), TWFT_BLUE);

    // In colour there is nothing to drop.
    ChooseMode(IDC_MODE_COLOR);
    Show();
    EXPECT_FALSE(Enabled(IDC_COLOR_DROPOUT));
    EXPECT_FALSE(Checked(IDC_COLOR_DROPOUT));
}

TEST_F(ImageEnhancementPageTest, PhotoAndMixedBringBackTheMethodLastInForce)
{
    ChooseMode(IDC_MODE_BW);
    Show();
    Click(IDC_TECHNIQUE_PHOTO);
    ChooseMethod(u"Bayer dither (16 steps)");
    EXPECT_EQ(Current(ICAP_BITDEPTHREDUCTION), TWBR_HALFTONE);
    EXPECT_EQ(Halftone(), "Bayer dither (16 steps)");

    Click(IDC_TECHNIQUE_TEXT);
    EXPECT_EQ(Current(ICAP_BITDEPTHREDUCTION), TWBR_THRESHOLD);
    EXPECT_FALSE(Enabled(IDC_HALFTONE_METHOD));
    EXPECT_EQ(ComboSelection(Item(IDC_HALFTONE_METHOD)), u"Bayer dither (16 steps)");
    m_source.SetHalfTonesCurrent("Bayer dither (64 steps)");

    Click(IDC_TECHNIQUE_PHOTO);
    EXPECT_EQ(Current(ICAP_BITDEPTHREDUCTION), TWBR_HALFTONE);
    EXPECT_EQ(Halftone(), "Bayer dither (16 steps)");

    Click(IDC_TECHNIQUE_DYNAMIC);
    Click(IDC_TECHNIQUE_MIXED);
    EXPECT_TRUE(m_source.AutoSeparation);
    EXPECT_EQ(Current(ICAP_BITDEPTHREDUCTION), TWBR_HALFTONE);
    EXPECT_EQ(Halftone(), "Bayer dither (16 steps)");
    EXPECT_TRUE(Checked(IDC_TECHNIQUE_MIXED));
    EXPECT_FALSE(Checked(IDC_TECHNIQUE_PHOTO));

    // A method chosen under mixed content keeps the separation.
    ChooseMethod(u"Error diffusion");
    EXPECT_TRUE(m_source.AutoSeparation);
    Click(IDC_TECHNIQUE_TEXT);
    EXPECT_FALSE(m_source.AutoSeparation);
    Click(IDC_TECHNIQUE_PHOTO);
    EXPECT_EQ(Current(ICAP_BITDEPTHREDUCTION), TWBR_DIFFUSION);
}

TEST_F(ImageEnhancementPageTest, TheMethodListShowsHalftoneNamesAsTheirItemsHoldThem)
{
    ChooseMode(IDC_MODE_BW);
    Show();
    HWND list = Item(IDC_HALFTONE_METHOD);
    EXPECT_EQ(ComboTexts(list), (std::vector<std::u16string>{u"Error diffusion", u"0 degree halftone dot (64 steps)",
                                                             u"45 degree halftone dot (32 steps",
                                                             u"Bayer dither (16 steps)", u"Bayer dither (64 steps)"}));
    EXPECT_EQ(ComboData(list), (std::vector<LPARAM>{3, 1, 0x10001, 0x20001, 0x30001}));

    Click(IDC_TECHNIQUE_PHOTO);
    ChooseMethod(u"45 degree halftone dot (32 steps");
    EXPECT_EQ(Halftone(), "45 degree halftone dot (32 steps");
    EXPECT_EQ(ComboSelection(list), u"45 degree halftone dot (32 steps");
    EXPECT_EQ(m_dialog->ImageEnhancementPage->RememberedPhotoMethod, 0x10001);
}

TEST_F(ImageEnhancementPageTest, DespeckleAndItsDiameterInvertAndMirror)
{
    ChooseMode(IDC_MODE_BW);
    Show();
    EXPECT_FALSE(Checked(IDC_DESPECKLE));
    EXPECT_FALSE(Enabled(IDC_SPECKLE_DIAMETER));
    Click(IDC_DESPECKLE);
    EXPECT_EQ(Current(ICAP_NOISEFILTER), TWNF_LONEPIXEL);
    EXPECT_TRUE(Enabled(IDC_SPECKLE_DIAMETER));
    EXPECT_EQ(WindowText(Item(IDC_SPECKLE_DIAMETER_TEXT)), u"1");
    ASSERT_TRUE(plat::ui::StepTrackbar(Item(IDC_SPECKLE_DIAMETER), TB_BOTTOM));
    EXPECT_EQ(Current(CUSTCAP_DESPECKLEVALUE), 6);
    Click(IDC_DESPECKLE);
    EXPECT_EQ(Current(ICAP_NOISEFILTER), TWNF_NONE);
    EXPECT_FALSE(Enabled(IDC_SPECKLE_DIAMETER));

    Click(IDC_INVERT);
    Click(IDC_MIRROR);
    EXPECT_TRUE(m_source.InvertImage);
    EXPECT_TRUE(m_source.MirrorImage);
    Click(IDC_MIRROR);
    EXPECT_FALSE(m_source.MirrorImage);
}

} // namespace
