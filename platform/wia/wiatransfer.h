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

// An item of the driver's item tree (wiasCreateDrvItem makes them). A folder
// holds one reference to each of its children; a child knows its folder
// without holding it. Only what drivers and the service stand-in call is
// declared.
inline constexpr IID IID_IWiaDrvItem = plat::MakeGuid("1F6C3B8E-7A2D-4C59-9E01-B4D82A6F3C17");

struct IWiaDrvItem : IUnknown {
    virtual HRESULT GetItemFlags(LONG* plFlags) = 0;
    virtual HRESULT GetDeviceSpecContext(BYTE** ppSpecContext) = 0;
    // New BSTRs the caller frees.
    virtual HRESULT GetFullItemName(BSTR* pbstrName) = 0;
    virtual HRESULT GetItemName(BSTR* pbstrName) = 0;
    // Makes this item the last child of pIParent, which must be a folder;
    // an item already in a folder, or a folder that was unlinked, is refused
    // with E_INVALIDARG.
    virtual HRESULT AddItemToFolder(IWiaDrvItem* pIParent) = 0;
    // Takes this item and everything below it out of the tree: each item is
    // marked with lReason (WiaItemTypeDisconnected or WiaItemTypeDeleted),
    // leaves its folder and lets go of its children.
    virtual HRESULT UnlinkItemTree(LONG lReason) = 0;
    // A new reference to the folder, the first child or the next sibling;
    // S_FALSE and null when there is none.
    virtual HRESULT GetParentItem(IWiaDrvItem** ppIParentItem) = 0;
    virtual HRESULT GetFirstChildItem(IWiaDrvItem** ppIChildItem) = 0;
    virtual HRESULT GetNextSiblingItem(IWiaDrvItem** ppSiblingItem) = 0;
};

// Fills a transfer context from the item's properties (WIAS_INIT_CONTEXT):
// geometry, resolution, depth, format and medium, the line width in bytes
// (padded to 4 bytes), the header size of the format and the item size.
HRESULT wiasGetImageInformation(BYTE* pWiasContext, LONG lFlags, MINIDRV_TRANSFER_CONTEXT* pmdtc);
