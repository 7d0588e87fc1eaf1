// A small data source for the tests: a flatbed of 8.5 x 14 inches with
// black-and-white, grey and colour at 100, 200 and 300 dots per inch, whose
// pixels are a counter. It records what the framework asked of it.
#pragma once
#include "twainfw/CTWAINDataSource.h"

#include <cstring>
#include <string>
#include <vector>

namespace Trellis::testing {

class TestWindow : public CTWAINWindow {
public:
    explicit TestWindow(std::vector<std::string>& log) : m_log(log) {}
    void Show(bool visible) override { m_log.push_back(visible ? "show" : "hide"); }
    void Destroy() override { m_log.push_back("destroy"); }
    bool PreTranslateMessage(const void* message) override { return message == TakenMessage(); }
    static const void* TakenMessage()
    {
        static const int kMessage = 0;
        return &kMessage;
    }

private:
    std::vector<std::string>& m_log;
};

class TestDataSource : public CTWAINDataSource {
public:
    void LoadIdentity(CTWAINIdentity& identity) override
    {
        TWAINIdentityDescription description;
        description.MajorNum = 5;
        description.MinorNum = 0;
        description.Language = TWLG_USA;
        description.Country = TWCY_USA;
        description.Info = "test build";
        description.SupportedGroups = DG_CONTROL | DG_IMAGE;
        description.Manufacturer = "Test Maker";
        description.ProductFamily = "Test Family";
        description.ProductName = "Test Scanner";
        identity.Assign(description);
    }
    void InitPhysicalDimensions(float& minimumWidth, float& minimumHeight, float& physicalWidth,
                                float& physicalHeight) override
    {
        minimumWidth = 1.0f;
        minimumHeight = 2.0f;
        physicalWidth = 8.5f;
        physicalHeight = 14.0f;
    }
    void InitBitDepths(TW_UINT16 pixelType, CTWAINEnumeration& values) override
    {
        switch (pixelType) {
        case TWPT_BW:
            values.Add(CTWAINOneValue(TW_UINT16{1}), true, true);
            break;
        case TWPT_GRAY:
            values.Add(CTWAINOneValue(TW_UINT16{8}), true, true);
            values.Add(CTWAINOneValue(TW_UINT16{4}));
            break;
        default:
            values.Add(CTWAINOneValue(TW_UINT16{24}), true, true);
            break;
        }
    }
    void InitPixelTypes(CTWAINEnumeration& values) override
    {
        values.Add(CTWAINOneValue(TWPT_BW), true, true);
        values.Add(CTWAINOneValue(TWPT_GRAY));
        values.Add(CTWAINOneValue(TWPT_RGB));
    }
    void InitPlanarChunky(CTWAINEnumeration& values) override { values.Add(CTWAINOneValue(TWPC_CHUNKY), true, true); }
    void InitXResolutions(CTWAINEnumeration& values) override { InitResolutions(values); }
    void InitYResolutions(CTWAINEnumeration& values) override { InitResolutions(values); }
    void InitUnits(CTWAINEnumeration& values) override
    {
        CTWAINDataSource::InitUnits(values);
        values.Add(CTWAINOneValue(TWUN_CENTIMETERS));
        values.Add(CTWAINOneValue(TWUN_PIXELS));
    }
    void InitSupportedSizes(CTWAINEnumeration& values) override
    {
        CTWAINDataSource::InitSupportedSizes(values);
        values.Add(CTWAINOneValue(TWSS_USLETTER));
        values.Add(CTWAINOneValue(TWSS_A5));
        values.Add(CTWAINOneValue(TWSS_A4));
    }
    void InitFeederAlignment(TW_UINT16& alignment) override { alignment = FeederAlignment; }
    void InitOrientations(CTWAINEnumeration& values) override
    {
        CTWAINDataSource::InitOrientations(values);
        values.Add(CTWAINOneValue(TWOR_LANDSCAPE));
    }
    void InitSupportedCaps(CTWAINArray& caps) override
    {
        CTWAINDataSource::InitSupportedCaps(caps);
        for (TW_UINT16 id : ExtraCaps)
            caps.Append(CTWAINOneValue(id));
    }

    void BeginImageTransfer(TW_UINT16, TW_INT32* rawLineLength) override { *rawLineLength = 0; }
    bool ReadImageData(TW_MEMREF, TW_UINT32, TW_UINT32* bytesRead, TW_UINT16) override
    {
        *bytesRead = 0;
        return true;
    }
    CTWAINWindow* CreateUIWindow(CTWAINWindow*, bool uiOnly) override
    {
        Log.push_back(uiOnly ? "create ui-only" : "create");
        return new TestWindow(Log);
    }
    TW_PENDINGXFERS QueryPendingXfers() override { return TW_PENDINGXFERS{Pending, {0}}; }
    TW_PENDINGXFERS EndXfer() override
    {
        if (Pending > 0)
            --Pending;
        return QueryPendingXfers();
    }
    void StopAcquisition() override
    {
        Log.push_back("stop");
        Pending = 0;
    }
    bool GetDeviceOnline() override { return true; }
    bool GetEnableDSUIOnly() override { return true; }
    bool GetUIControllable() override { return UIControllable; }

    // The tests reach the protected members through these.
    void SetImagesAvailable(TW_UINT32 count) { m_ImagesAvailable = count; }
    void SetXferDoneForTest() { m_XferDone = 1; }
    void FillSupportedCaps() { InitSupportedCaps(m_SupportedCaps); }
    void OpenTIFF(const std::string& path) { m_TIFFFile.Open(path); }
    bool IsTIFFOpen() const { return m_TIFFFile.IsOpen(); }

    TW_UINT16 Pending = 0;
    bool UIControllable = true;
    TW_UINT16 FeederAlignment = TWFA_NONE;
    std::vector<TW_UINT16> ExtraCaps;
    std::vector<std::string> Log;

private:
    static void InitResolutions(CTWAINEnumeration& values)
    {
        values.Add(CTWAINOneValue(100.0f));
        values.Add(CTWAINOneValue(200.0f), true, true);
        values.Add(CTWAINOneValue(300.0f));
    }
};

} // namespace Trellis::testing
