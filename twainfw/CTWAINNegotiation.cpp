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

// MSG_QUERYSUPPORT's answer.
void AnswerFlags(DS& ds, TW_CAPABILITY* capability, TW_INT32 flags)
{
    HandOver(ds, capability, CTWAINContainer(CTWAINOneValue(static_cast<TW_UINT32>(flags), TWTY_INT32)));
}

// Once the application has enabled the source only the capabilities it
// negotiated for later states may change; a list that cannot be read allows
// none.
bool MayChangeInState(DS& ds, TW_UINT16 msg, TW_UINT16 id)
{
    if (ds.GetState() < 5 || (msg != MSG_SET && msg != MSG_RESET))
        return true;
    try {
        return ds.IsCapSupported(CAP_EXTENDEDCAPS) && ds.GetExtendedCapsValues().Contains(CTWAINOneValue(id));
    } catch (...) {
        return false;
    }
}

} // namespace

void CTWAINDataSource::OnCapability(TW_UINT16 msg, TW_CAPABILITY* capability)
{
    // The flag each message needs in the capability's query support, and
    // its handler.
    struct MessageStep {
        TW_UINT16 Msg;
        TW_INT32 Needed;
        void (CTWAINDataSource::*Handle)(TW_CAPABILITY*);
    };
    static constexpr MessageStep kSteps[] = {
        {MSG_GET, TWQC_GET, &CTWAINDataSource::GetCapability},
        {MSG_GETCURRENT, TWQC_GETCURRENT, &CTWAINDataSource::GetCapabilityCurrent},
        {MSG_GETDEFAULT, TWQC_GETDEFAULT, &CTWAINDataSource::GetCapabilityDefault},
        {MSG_SET, TWQC_SET, &CTWAINDataSource::SetCapability},
        {MSG_RESET, TWQC_RESET, &CTWAINDataSource::ResetCapability},
    };

    const TW_UINT16 id = capability->Cap;
    if (!IsCapSupported(id)) {
        if (msg != MSG_QUERYSUPPORT)
            ThrowFailure(TWCC_CAPUNSUPPORTED);
        AnswerFlags(*this, capability, 0);
        return;
    }
    if (!MayChangeInState(*this, msg, id))
        ThrowFailure(TWCC_SEQERROR);

    const MessageStep* step = nullptr;
    for (const MessageStep& candidate : kSteps) {
        if (candidate.Msg == msg) {
            step = &candidate;
            break;
        }
    }
    const TW_INT32 flags = QueryCapabilitySupport(id);
    if (step && (flags & step->Needed) != step->Needed)
        ThrowFailure(TWCC_CAPBADOPERATION);

    if (step)
        (this->*step->Handle)(capability);
    else if (msg == MSG_QUERYSUPPORT)
        AnswerFlags(*this, capability, QueryCapabilitySupport(id));
    else
        ThrowFailure(TWCC_BADPROTOCOL);
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
