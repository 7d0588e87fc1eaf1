#include "platform/wia/propidl.h"

#include "platform/base/winerror.h"
#include "platform/oleauto/bstr.h"
#include "platform/oleauto/taskmem.h"

#include <gtest/gtest.h>

namespace {

constexpr GUID kGuid = plat::MakeGuid("B96B3CAA-0728-11D3-9D7B-0000F81EF32E");

const void* OwnedData(const PROPVARIANT& v)
{
    if (v.vt == VT_BSTR)
        return v.bstrVal;
    if (v.vt == VT_CLSID)
        return v.puuid;
    return v.cal.pElems;
}

TEST(PropVariant, CopyIsDeepAndClearFreesEveryOwnedKind)
{
    PROPVARIANT text;
    PropVariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(u"0.0.0.1");

    PROPVARIANT guid;
    PropVariantInit(&guid);
    guid.vt = VT_CLSID;
    guid.puuid = static_cast<CLSID*>(CoTaskMemAlloc(sizeof(CLSID)));
    *guid.puuid = kGuid;

    PROPVARIANT longs;
    PropVariantInit(&longs);
    longs.vt = VT_VECTOR | VT_I4;
    longs.cal.cElems = 3;
    longs.cal.pElems = static_cast<LONG*>(CoTaskMemAlloc(3 * sizeof(LONG)));
    longs.cal.pElems[0] = 100;
    longs.cal.pElems[1] = 200;
    longs.cal.pElems[2] = -1;

    for (PROPVARIANT* source : {&text, &guid, &longs}) {
        PROPVARIANT copy;
        ASSERT_EQ(S_OK, PropVariantCopy(&copy, source));
        EXPECT_EQ(source->vt, copy.vt);
        EXPECT_NE(OwnedData(*source), OwnedData(copy)) << "owned data must not be shared, vt " << source->vt;
        ASSERT_EQ(S_OK, PropVariantClear(source));
        EXPECT_EQ(VT_EMPTY, source->vt);
        // The copy outlives its source.
        if (copy.vt == VT_BSTR)
            EXPECT_EQ(std::u16string(u"0.0.0.1"), copy.bstrVal);
        else if (copy.vt == VT_CLSID)
            EXPECT_EQ(kGuid, *copy.puuid);
        else
            EXPECT_EQ(-1, copy.cal.pElems[2]);
        ASSERT_EQ(S_OK, PropVariantClear(&copy));
    }
}

TEST(PropVariant, UnknownTypesAreRefusedWithoutTouchingTheValue)
{
    PROPVARIANT value;
    PropVariantInit(&value);
    value.vt = VT_DISPATCH;
    PROPVARIANT copy;
    EXPECT_EQ(DISP_E_BADVARTYPE, PropVariantCopy(&copy, &value));
    EXPECT_EQ(VT_EMPTY, copy.vt);
    EXPECT_EQ(DISP_E_BADVARTYPE, PropVariantClear(&value));
    EXPECT_EQ(VT_DISPATCH, value.vt);
}

} // namespace
