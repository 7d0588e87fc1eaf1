// Page acquisition: writing the item properties configures the scanner and
// the image pipeline, a transfer pulls the pages. Neither is served yet: the
// service hears that a scan cannot be configured or transferred.
#include "stillimage/CRNX_STIWIA_Driver.h"

HRESULT CRNX_STIWIA_Driver::ConfigureScanner(BYTE*)
{
    return E_NOTIMPL;
}

HRESULT CRNX_STIWIA_Driver::AcquireItemData(BYTE*, PMINIDRV_TRANSFER_CONTEXT)
{
    return E_NOTIMPL;
}
