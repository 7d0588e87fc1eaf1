// The classes of the test server library, as its clients see them.
#pragma once

#include "platform/com/objbase.h"

// {7D1C2A40-5E3B-4C8F-9A61-0B2D4E6F8A01}
inline constexpr IID IID_ITestValue = plat::MakeGuid("7D1C2A40-5E3B-4C8F-9A61-0B2D4E6F8A01");
// Refuses an outer object.
// {7D1C2A41-5E3B-4C8F-9A61-0B2D4E6F8A01}
inline constexpr CLSID CLSID_TestPlain = plat::MakeGuid("7D1C2A41-5E3B-4C8F-9A61-0B2D4E6F8A01");
// Accepts an outer object (for IID_IUnknown only).
// {7D1C2A42-5E3B-4C8F-9A61-0B2D4E6F8A01}
inline constexpr CLSID CLSID_TestAggregatable = plat::MakeGuid("7D1C2A42-5E3B-4C8F-9A61-0B2D4E6F8A01");

struct ITestValue : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetValue(LONG* value) = 0;
};
