// What the service and a driver share about one transfer, the driver-item
// interface, and the format and capability records a driver reports.
#pragma once

#include "platform/base/unknwn.h"
#include "platform/wia/wiadef.h"

struct IWiaMiniDrvCallBack;

constexpr LONG WIAS_INIT_CONTEXT = 1;

struct MINIDRV_TRANSFER_CONTEXT {
    LONG lSize;
    LONG lWidthInPixels;
    LONG lLines;
    LONG lDepth;
    LONG lXRes;
    LONG lYRes;
    LONG lCompression;
    GUID guidFormatID;
    LONG tymed;
    LONG_PTR hFile;
    LONG cbOffset;
    LONG lBufferSize;
    LONG lActiveBuffer;
    LONG lNumBuffers;
    BYTE* pBaseBuffer;
    BYTE* pTransferBuffer;
    BOOL bTransferDataCB;
    BOOL bClassDrvAllocBuf;
    LONG_PTR lClientAddress;
    IWiaMiniDrvCallBack* pIWiaMiniDrvCallBack;
    LONG lImageSize;
    LONG lHeaderSize;
    LONG lItemSize;
    LONG cbWidthInBytes;
    LONG lPage;
    LONG lCurIfdOffset;
    LONG lPrevIfdOffset;
};
using PMINIDRV_TRANSFER_CONTEXT = MINIDRV_TRANSFER_CONTEXT*;

struct WIA_FORMAT_INFO {
    GUID guidFormatID;
    LONG lTymed;
};

struct WIA_DEV_CAP_DRV {
    GUID* guid;
    ULONG ulFlags;
    LPOLESTR wszName;
    LPOLESTR wszDescription;
    LPOLESTR wszIcon;
};

// An item of the driver's item tree. Only what drivers call is declared.
struct IWiaDrvItem : IUnknown {
    virtual HRESULT GetItemFlags(LONG* plFlags) = 0;
    virtual HRESULT GetDeviceSpecContext(BYTE** ppSpecContext) = 0;
    virtual HRESULT GetFullItemName(BSTR* pbstrName) = 0;
    virtual HRESULT GetItemName(BSTR* pbstrName) = 0;
};

// Fills a transfer context from the item's properties (WIAS_INIT_CONTEXT):
// geometry, resolution, depth, format and medium, the line width in bytes
// (padded to 4 bytes), the header size of the format and the item size.
HRESULT wiasGetImageInformation(BYTE* pWiasContext, LONG lFlags, MINIDRV_TRANSFER_CONTEXT* pmdtc);
