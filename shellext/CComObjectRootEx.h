// The common root of the library's COM classes (single-threaded model:
// each object lives in its creator's apartment): plat::ComObjectRoot
// counted on this library's module. Objects are made with
// plat::CreateComObject.
#pragma once

#include "platform/com/ComObjectRoot.h"
#include "shellext/CRNXShellExtModule.h"

class CComObjectRootEx : public plat::ComObjectRoot {
public:
    explicit CComObjectRootEx(IUnknown* outer) : plat::ComObjectRoot(outer, CRNXShellExtModule()) {}
};
