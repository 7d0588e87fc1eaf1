// A change of long properties as the property calls take it: the
// specifications by id and the values, in the order given. Long values own
// nothing, so the values need no clearing.
#pragma once

#include "platform/wia/propidl.h"

#include <utility>
#include <vector>

namespace plat::wia {

struct LongChanges {
    explicit LongChanges(const std::vector<std::pair<PROPID, LONG>>& changes)
    {
        for (auto [id, value] : changes) {
            PROPSPEC spec{};
            spec.ulKind = PRSPEC_PROPID;
            spec.propid = id;
            specs.push_back(spec);
            PROPVARIANT v;
            PropVariantInit(&v);
            v.vt = VT_I4;
            v.lVal = value;
            values.push_back(v);
        }
    }
    ULONG Count() const { return static_cast<ULONG>(specs.size()); }

    std::vector<PROPSPEC> specs;
    std::vector<PROPVARIANT> values;
};

} // namespace plat::wia
