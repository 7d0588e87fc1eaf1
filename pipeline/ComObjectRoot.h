// The root of the library's creatable classes: plat::ComObjectRoot (count,
// aggregation, construct and release hooks) counted on this library's
// module. Objects are made with plat::CreateComObject.
#pragma once

#include "pipeline/RNXCOMCoreModule.h"
#include "platform/com/ComObjectRoot.h"

class CComObjectRoot : public plat::ComObjectRoot {
public:
    explicit CComObjectRoot(IUnknown* outer) : plat::ComObjectRoot(outer, RNXCOMCoreModule()) {}
};
