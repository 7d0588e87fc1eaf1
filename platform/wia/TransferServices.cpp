// The service functions a driver calls while it moves a page: the end of a
// page of a callback transfer, and the page buffer of a file transfer
// written to the transfer's file.
#include "platform/wia/wiatransfer.h"

#include "platform/base/winerror.h"
#include "platform/files/FileErrors.h"

#include <cerrno>
#include <unistd.h>

HRESULT wiasSendEndOfPage(BYTE* pWiasContext, LONG lPageCount, MINIDRV_TRANSFER_CONTEXT* pmdtc)
{
    if (!pWiasContext || !pmdtc || !pmdtc->pIWiaMiniDrvCallBack)
        return E_INVALIDARG;
    pmdtc->lPage = lPageCount;
    return pmdtc->pIWiaMiniDrvCallBack->MiniDrvCallback(IT_MSG_NEW_PAGE, IT_STATUS_TRANSFER_TO_CLIENT, 0, 0, 0, pmdtc,
                                                        0);
}

HRESULT wiasWritePageBufToFile(MINIDRV_TRANSFER_CONTEXT* pmdtc)
{
    if (!pmdtc || !pmdtc->pTransferBuffer || pmdtc->lItemSize < 0 || pmdtc->lItemSize > pmdtc->lBufferSize ||
        pmdtc->hFile < 0)
        return E_INVALIDARG;
    const int fd = static_cast<int>(pmdtc->hFile);
    const BYTE* data = pmdtc->pTransferBuffer;
    size_t left = static_cast<size_t>(pmdtc->lItemSize);
    while (left > 0) {
        const ssize_t written = write(fd, data, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return HRESULT_FROM_WIN32(written < 0 ? plat::files::ErrorFromErrno(errno) : ERROR_DISK_FULL);
        data += written;
        left -= static_cast<size_t>(written);
    }
    return S_OK;
}
