// Capability negotiation: the DAT_CAPABILITY gate and the six message
// handlers, which take each capability's route from CapabilityRoutes.cpp.
//
// Every answer is a new handle that the application frees; the handle of a
// MSG_SET stays the application's and is only read. Ids without a route go
// to the custom hooks, through which a device class adds its capabilities.
#include "twainfw/CTWAINDataSource.h"

#include "twainfw/CapabilityRoutes.h"

namespace Trellis {

namespace {

using DS = CTWAINDataSource;
using Route = CapabilityRoute;

// Hands the answer over as a new handle. When no memory can be had the
// handle is cleared and the type left as the application passed it.
void HandOver(DS& ds, TW_CAPABILITY* capability, const CTWAINContainer& answer)
{
    TW_HANDLE handle = answer.ToHandle();
    if (!handle) {
        capability->hContainer = nullptr;
        ds.ThrowFailure(TWCC_LOWMEMORY);
    }
    capability->hContainer = handle;
    capability->ConType = static_cast<TW_UINT16>(answer.ContainerType);
}

using FillHook = bool (DS::*)(TW_UINT16, CTWAINContainer&);

// The common frame of the four answering handlers.
void AnswerCapability(DS& ds, TW_CAPABILITY* capability, const Route* route, Route::Fill Route::*step, FillHook hook)
{
    const TW_UINT16 id = capability->Cap;
    CTWAINContainer container;
    if (route && route->*step)
        (route->*step)(ds, container);
    else if (!(ds.*hook)(id, container))
        ds.ThrowFailure(TWCC_CAPUNSUPPORTED);
    HandOver(ds, capability, container);
}

} // namespace

void CTWAINDataSource::OnCapability(TW_UINT16 msg, TW_CAPABILITY* capability)
{
    const TW_UINT16 id = capability->Cap;

    if (!IsCapSupported(id)) {
        if (msg == MSG_QUERYSUPPORT) {
            HandOver(*this, capability, CTWAINContainer(CTWAINOneValue(0u, TWTY_INT32)));
            return;
        }
        ThrowFailure(TWCC_CAPUNSUPPORTED);
    }

    // Once the application has enabled the source only the capabilities it
    // negotiated for later states may change.
    if (m_State >= 5 && (msg == MSG_SET || msg == MSG_RESET)) {
        bool allowed = false;
        try {
            allowed = IsCapSupported(CAP_EXTENDEDCAPS) && GetExtendedCapsValues().Contains(CTWAINOneValue(id));
        } catch (...) {
            allowed = false;
        }
        if (!allowed)
            ThrowFailure(TWCC_SEQERROR);
    }

    const TW_INT32 flags = QueryCapabilitySupport(id);
    TW_INT32 needed = 0;
    switch (msg) {
    case MSG_GET:
        needed = TWQC_GET;
        break;
    case MSG_GETCURRENT:
        needed = TWQC_GETCURRENT;
        break;
    case MSG_GETDEFAULT:
        needed = TWQC_GETDEFAULT;
        break;
    case MSG_SET:
        needed = TWQC_SET;
        break;
    case MSG_RESET:
        needed = TWQC_RESET;
        break;
    default:
        break;
    }
    if ((flags & needed) != needed)
        ThrowFailure(TWCC_CAPBADOPERATION);

    switch (msg) {
    case MSG_GET:
        GetCapability(capability);
        return;
    case MSG_GETCURRENT:
        GetCapabilityCurrent(capability);
        return;
    case MSG_GETDEFAULT:
        GetCapabilityDefault(capability);
        return;
    case MSG_SET:
        SetCapability(capability);
        return;
    case MSG_RESET:
        ResetCapability(capability);
        return;
    case MSG_QUERYSUPPORT:
        HandOver(*this, capability,
                 CTWAINContainer(CTWAINOneValue(static_cast<TW_UINT32>(QueryCapabilitySupport(id)), TWTY_INT32)));
        return;
    default:
        ThrowFailure(TWCC_BADPROTOCOL);
    }
}

void CTWAINDataSource::GetCapability(TW_CAPABILITY* capability)
{
    AnswerCapability(*this, capability, FindCapabilityRoute(capability->Cap), &CapabilityRoute::Get,
                     &CTWAINDataSource::GetCustomCapValues);
}

void CTWAINDataSource::GetCapabilityCurrent(TW_CAPABILITY* capability)
{
    AnswerCapability(*this, capability, FindCapabilityRoute(capability->Cap), &CapabilityRoute::GetCurrent,
                     &CTWAINDataSource::GetCustomCapCurrent);
}

void CTWAINDataSource::GetCapabilityDefault(TW_CAPABILITY* capability)
{
    AnswerCapability(*this, capability, FindCapabilityRoute(capability->Cap), &CapabilityRoute::GetDefault,
                     &CTWAINDataSource::GetCustomCapDefault);
}

void CTWAINDataSource::SetCapability(TW_CAPABILITY* capability)
{
    const TW_UINT16 id = capability->Cap;
    CTWAINContainer container(*capability);
    const CapabilityRoute* route = FindCapabilityRoute(id);
    if (route && route->Set)
        route->Set(*this, container);
    else if (!SetCustomCap(id, container))
        ThrowFailure(TWCC_CAPUNSUPPORTED);
}

void CTWAINDataSource::ResetCapability(TW_CAPABILITY* capability)
{
    AnswerCapability(*this, capability, FindCapabilityRoute(capability->Cap), &CapabilityRoute::Reset,
                     &CTWAINDataSource::ResetCustomCap);
}

TW_INT32 CTWAINDataSource::QueryCapabilitySupport(TW_UINT16 id)
{
    if (const CapabilityRoute* route = FindCapabilityRoute(id))
        return route->QuerySupport(*this);
    TW_INT32 flags = 0;
    if (!QueryCustomCapSupport(id, flags))
        ThrowFailure(TWCC_CAPUNSUPPORTED);
    return flags;
}

} // namespace Trellis
