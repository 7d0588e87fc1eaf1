// Set-up and acquisition operations that the framework requires of every
// data source. These are interim bodies, enough for the source to load, open
// and close: the device's capability set and the acquisition through the
// image pipeline replace them.
#include "twainds/CQBK24DataSource.h"

// Interim: the feeder's page limits, until the device capability set.
void CQBK24DataSource::InitPhysicalDimensions(float& minimumWidth, float& minimumHeight, float& physicalWidth,
                                              float& physicalHeight)
{
    minimumWidth = 2.0f;
    minimumHeight = 2.0f;
    physicalWidth = 8.5f;
    physicalHeight = 14.0f;
}

// Interim: one depth per pixel type, until the device capability set.
void CQBK24DataSource::InitBitDepths(TW_UINT16 pixelType, Trellis::CTWAINEnumeration& values)
{
    TW_UINT16 depth = pixelType == TWPT_BW ? 1 : pixelType == TWPT_GRAY ? 8 : 24;
    values.Add(Trellis::CTWAINOneValue(depth), true, true);
}

// Interim, until the device capability set.
void CQBK24DataSource::InitPixelTypes(Trellis::CTWAINEnumeration& values)
{
    values.Add(Trellis::CTWAINOneValue(TWPT_BW), true, true);
    values.Add(Trellis::CTWAINOneValue(TWPT_GRAY));
    values.Add(Trellis::CTWAINOneValue(TWPT_RGB));
}

// Interim, until the device capability set.
void CQBK24DataSource::InitPlanarChunky(Trellis::CTWAINEnumeration& values)
{
    values.Add(Trellis::CTWAINOneValue(TWPC_CHUNKY), true, true);
}

// Interim, until the device capability set.
void CQBK24DataSource::InitXResolutions(Trellis::CTWAINEnumeration& values)
{
    values.Add(Trellis::CTWAINOneValue(200.0f), true, true);
    values.Add(Trellis::CTWAINOneValue(300.0f));
}

// Interim, until the device capability set.
void CQBK24DataSource::InitYResolutions(Trellis::CTWAINEnumeration& values)
{
    InitXResolutions(values);
}

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
