// What the service and a driver share about one transfer, the driver-item
// interface, and the format and capability records a driver reports.
#pragma once

#include "platform/base/unknwn.h"
#include "platform/wia/bitmapheaders.h"
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

// The service's side of a transfer that a driver reports to: data
// (IT_MSG_DATA: lLength bytes at the start of the transfer buffer, for
// offset lOffset of the image), progress (IT_MSG_STATUS) and the end of a
// page (IT_MSG_NEW_PAGE). S_FALSE asks the driver to cancel the transfer.
inline constexpr IID IID_IWiaMiniDrvCallBack = plat::MakeGuid("5C0E82B4-91F3-4A6D-B2E7-3D18C6A4F905");

struct IWiaMiniDrvCallBack : IUnknown {
    virtual HRESULT MiniDrvCallback(LONG lReason, LONG lStatus, LONG lPercentComplete, LONG lOffset, LONG lLength,
                                    PMINIDRV_TRANSFER_CONTEXT pTranCtx, LONG lReserved) = 0;
};

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

// The image sizes of a transfer: the line width in bytes (padded to 4
// bytes), the image, header and item sizes. With WIAS_INIT_CONTEXT the
// context is first cleared and filled from the item's properties (geometry,
// resolution, depth, format and medium); with 0 the context's own values
// stand, as a driver set them. When the context has a transfer buffer, the
// bitmap header goes to its start: for WiaImgFmt_BMP the file header, then
// the information header and the palette (WiaImgFmt_MEMORYBMP starts with
// the information header). The header describes a bottom-up image; a 1-bit
// palette is black, white, an 8-bit one a grey ramp. A buffer smaller than
// the header gives E_INVALIDARG and is left alone.
HRESULT wiasGetImageInformation(BYTE* pWiasContext, LONG lFlags, MINIDRV_TRANSFER_CONTEXT* pmdtc);

// Ends page lPageCount of a callback transfer: the context's lPage becomes
// lPageCount and the callback hears IT_MSG_NEW_PAGE. Its answer is the
// result.
HRESULT wiasSendEndOfPage(BYTE* pWiasContext, LONG lPageCount, MINIDRV_TRANSFER_CONTEXT* pmdtc);

// Writes the page of a file transfer (the lItemSize bytes at the start of
// the transfer buffer, header included) to the context's hFile, which here
// is the file descriptor the service opened for the transfer. An item
// larger than the buffer gives E_INVALIDARG; a failed write the system's
// error as an HRESULT.
HRESULT wiasWritePageBufToFile(MINIDRV_TRANSFER_CONTEXT* pmdtc);
