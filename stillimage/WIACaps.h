// The driver's item and property model: the default values and value lists,
// the property tables of the root item and of the "Feeder" item, and how a
// table is written into an item of the service.
#pragma once

#include "diag/TraceClient.h"
#include "stillimage/WiaPropEntry.h"

#include <map>
#include <string>
#include <vector>

class CWIACaps : public CTraceClient {
public:
    CWIACaps();
    ~CWIACaps() override;
    CWIACaps(const CWIACaps&) = delete;
    CWIACaps& operator=(const CWIACaps&) = delete;

    // Adders: each puts one record into `table`, replacing a record of the
    // same id.
    void AddPropLong(WiaPropTable& table, const WCHAR* name, PROPID id, LONG value);
    void AddPropBSTR(WiaPropTable& table, BSTR value);
    void AddPropGUID(WiaPropTable& table, GUID* value);
    void AddPropFlag(WiaPropTable& table, const WCHAR* name, PROPID id, LONG nominal, LONG validBits, ULONG access);
    void AddPropRange(WiaPropTable& table, const WCHAR* name, PROPID id, LONG minimum, LONG maximum, LONG nominal);
    void AddPropList(WiaPropTable& table, const WCHAR* name, PROPID id, LONG nominal, LONG* listData, LONG listCount);
    void AddPropGUIDList(WiaPropTable& table, GUID* formatData, LONG count);

    // Virtual: tests stand in a property model that cannot be built.
    virtual HRESULT InitializeCaps();
    HRESULT InitializeRootCaps();
    HRESULT InitializeFeederCaps();
    HRESULT InitializeImageSettings(WiaPropTable& table);
    HRESULT InitializeImageAttributes(WiaPropTable& table);

    HRESULT SetupRootItems(BYTE* pWiasContext);
    HRESULT SetupChildItems(IWiaDrvItem* pDrvItem, BYTE* pWiasContext);
    HRESULT SetupItems(WiaPropTable& table, BYTE* pWiasContext, bool isChild);

    // Validation of a client's change (the driver's drvValidateItemProperties).
    HRESULT ValidateItemProperties(IWiaMiniDrv* pIWiaMiniDrv, BYTE* pWiasContext, ULONG nPropSpec,
                                   const PROPSPEC* pPropSpec);
    HRESULT CheckIntent(BYTE* pWiasContext, WIA_PROPERTY_CONTEXT* pContext);
    HRESULT CheckDataType(BYTE* pWiasContext, WIA_PROPERTY_CONTEXT* pContext);
    HRESULT CheckDependencies(BYTE* pWiasContext);

    // Formats, commands and events. The arrays stay owned by this object.
    HRESULT GetSupportedFormats(LONG* pcelt, WIA_FORMAT_INFO** ppwfi);
    HRESULT GetWIACapabilities(LONG lFlags, LONG* pcelt, WIA_DEV_CAP_DRV** ppCapabilities);

    const WiaPropTable& RootTable() const { return m_rootTable; }
    const WiaPropTable& FeederTable() const { return m_feederTable; }
    const std::vector<LONG>& ResolutionList() const { return m_resolutionList; }
    const std::vector<LONG>& DataTypeList() const { return m_dataTypeList; }

protected:
    WiaPropTable m_rootTable;
    WiaPropTable m_feederTable;
    std::map<PROPID, std::u16string> m_propertyNames;

    LONG m_xResolution = 200;
    LONG m_yResolution = 200;
    LONG m_brightness = 50;
    LONG m_contrast = 50;
    LONG m_threshold = 50;
    LONG m_lampWarmUpTime = 15000;
    LONG m_pixelsPerLine = 1700;
    LONG m_numberOfLines = 2200;
    LONG m_bytesPerLine = 213;
    LONG m_bufferSize = 65536;
    LONG m_itemSize = 0;
    LONG m_channelsPerPixel = 1;
    LONG m_bitsPerChannel = 1;
    LONG m_bitsPerPixel = 1;
    LONG m_xOpticalResolution = 600;
    LONG m_yOpticalResolution = 600;
    LONG m_maxScanTime = 15000;
    LONG m_horizontalSheetFeedSize = 11700;
    LONG m_verticalSheetFeedSize = 25000;
    LONG m_maxPages = 150;
    LONG m_xExtent = 1700;
    LONG m_yExtent = 2200;
    LONG m_xPosition = 0;
    LONG m_yPosition = 0;

    BSTR m_firmwareVersion = nullptr;

    // Filled once and never changed until destruction: the records point
    // into their data.
    std::vector<LONG> m_resolutionList;
    std::vector<LONG> m_dataTypeList;
    std::vector<LONG> m_compressionList;
    std::vector<LONG> m_mediaTypeList;
    std::vector<LONG> m_previewList;
    std::vector<GUID> m_formatList;
    std::vector<WIA_FORMAT_INFO> m_formatInfoList;
    std::vector<WIA_DEV_CAP_DRV> m_capabilityList;
};
