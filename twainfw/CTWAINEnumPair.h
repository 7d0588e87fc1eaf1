// The two lists of a capability that the application may constrain: the
// allowed values (filled once, with their default) and the current list as
// constrained (with its current item).
#pragma once
#include "twainfw/CTWAINEnumeration.h"

namespace Trellis {

struct CTWAINEnumPair {
    enum class Outcome {
        Taken,    // the request was taken whole
        Adjusted, // taken in part or moved to a neighbour: check status
        Refused,  // nothing taken
    };

    // The current list becomes the allowed one, indexes included.
    void Reset() { Current = Allowed; }

    // The current list becomes the allowed values the request holds. When
    // none is left, the allowed list comes back and the request is refused.
    Outcome Constrain(const CTWAINEnumeration& request);
    // The same with the allowed values that lie inside the range.
    Outcome ConstrainToRange(const CTWAINRange& request);

    // The value becomes current: when listed (or, for a type that has
    // neighbours, the nearest listed value), else added from the allowed
    // list when that holds it.
    Outcome SetCurrent(const CTWAINOneValue& value);

    CTWAINEnumeration Allowed;
    CTWAINEnumeration Current;
};

} // namespace Trellis
