// How DAT_CAPABILITY reaches the accessors of each capability id the
// framework knows: one row per capability in one table, CapabilityRoutes.cpp.
#pragma once
#include "twainfw/CTWAINDataSource.h"

namespace Trellis {

// The step of each message of one capability. A null step sends that
// message to the custom hook.
struct CapabilityRoute {
    using Fill = void (*)(CTWAINDataSource&, CTWAINContainer&);
    using Apply = void (*)(CTWAINDataSource&, const CTWAINContainer&);
    using Query = TW_INT32 (*)(CTWAINDataSource&);

    TW_UINT16 Id;
    Fill Get;
    Fill GetCurrent;
    Fill GetDefault;
    Apply Set;
    Fill Reset;
    Query QuerySupport;
};

// Null for the ids that go to the custom hooks.
const CapabilityRoute* FindCapabilityRoute(TW_UINT16 id);

} // namespace Trellis
