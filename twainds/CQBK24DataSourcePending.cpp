// Set-up and acquisition operations that the framework requires of every
// data source. These are interim bodies, enough for the source to load, open
// and close: the acquisition through the image pipeline replaces them.
#include "twainds/CQBK24DataSource.h"

// Interim: no acquisition yet, so a transfer is an operation error.
void CQBK24DataSource::BeginImageTransfer(TW_UINT16, TW_INT32*)
{
    ThrowFailure(TWCC_OPERATIONERROR);
}

// Interim: no acquisition yet.
bool CQBK24DataSource::ReadImageData(TW_MEMREF, TW_UINT32, TW_UINT32*, TW_UINT16)
{
    ThrowFailure(TWCC_OPERATIONERROR);
}

// Interim: the settings dialog comes later; no window for now.
Trellis::CTWAINWindow* CQBK24DataSource::CreateUIWindow(Trellis::CTWAINWindow*, bool)
{
    return nullptr;
}

TW_PENDINGXFERS CQBK24DataSource::QueryPendingXfers()
{
    return PendingXfers;
}

// Interim: no acquisition yet, so nothing remains after a transfer.
TW_PENDINGXFERS CQBK24DataSource::EndXfer()
{
    PendingXfers.Count = 0;
    return PendingXfers;
}

// Interim: no acquisition yet.
void CQBK24DataSource::StopAcquisition()
{
    PendingXfers.Count = 0;
}

// Interim: on-line while the hardware service is bound.
bool CQBK24DataSource::GetDeviceOnline()
{
    return Hal != nullptr;
}

bool CQBK24DataSource::GetEnableDSUIOnly()
{
    return true;
}

bool CQBK24DataSource::GetUIControllable()
{
    return true;
}
