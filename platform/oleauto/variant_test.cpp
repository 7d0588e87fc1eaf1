#include "platform/oleauto/ScopedBstr.h"
#include "platform/oleauto/ScopedSafeArray.h"
#include "platform/oleauto/ScopedVariant.h"
#include "platform/oleauto/bstr.h"
#include "platform/oleauto/comerror.h"
#include "platform/oleauto/safearray.h"
#include "platform/oleauto/variant.h"
#include "platform/oleauto/testing/CountingUnknown.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using plat::testing::CountingDispatch;

TEST(Variant, CopyOfStringIsDeep)
{
    plat::ScopedVariant source;
    source->vt = VT_BSTR;
    source->bstrVal = SysAllocString(u"C:\\scan.xml");
    plat::ScopedVariant copy;
    ASSERT_EQ(VariantCopy(copy.Get(), source.Get()), S_OK);
    ASSERT_EQ(copy->vt, VT_BSTR);
    EXPECT_NE(copy->bstrVal, source->bstrVal);
    ASSERT_EQ(source.Clear(), S_OK);
    EXPECT_EQ(source->vt, VT_EMPTY);
    EXPECT_EQ(std::u16string(copy->bstrVal), u"C:\\scan.xml");
}

TEST(Variant, InterfacesAreCountedThroughCopyAndClear)
{
    CountingDispatch object;
    {
        plat::ScopedVariant unknown;
        unknown->vt = VT_UNKNOWN;
        unknown->punkVal = &object;
        object.AddRef();
        plat::ScopedVariant dispatch;
        dispatch->vt = VT_DISPATCH;
        dispatch->pdispVal = &object;
        object.AddRef();
        EXPECT_EQ(object.refs, 3u);

        plat::ScopedVariant copy;
        ASSERT_EQ(VariantCopy(copy.Get(), unknown.Get()), S_OK);
        EXPECT_EQ(object.refs, 4u);
        // Copying over a value clears it first.
        ASSERT_EQ(VariantCopy(copy.Get(), dispatch.Get()), S_OK);
        EXPECT_EQ(object.refs, 4u);
        EXPECT_EQ(copy->pdispVal, &object);
    }
    EXPECT_EQ(object.refs, 1u);
}

TEST(Variant, ByteArrayCopyIsDeepAndLockedArrayIsKept)
{
    plat::ScopedVariant source;
    source->vt = VT_ARRAY | VT_UI1;
    source->parray = SafeArrayCreateVector(VT_UI1, 0, 4);
    ASSERT_NE(source->parray, nullptr);
    static_cast<BYTE*>(source->parray->pvData)[3] = 0x5A;

    ASSERT_EQ(SafeArrayLock(source->parray), S_OK);
    plat::ScopedVariant copy;
    ASSERT_EQ(VariantCopy(copy.Get(), source.Get()), S_OK);
    ASSERT_NE(copy->parray, source->parray);
    EXPECT_EQ(copy->parray->cLocks, 0u) << "a copy starts unlocked";
    EXPECT_EQ(static_cast<BYTE*>(copy->parray->pvData)[3], 0x5A);

    // A locked array stays with its variant until it is unlocked.
    EXPECT_EQ(source.Clear(), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(source->vt, VT_ARRAY | VT_UI1);
    ASSERT_EQ(SafeArrayUnlock(source->parray), S_OK);
    EXPECT_EQ(source.Clear(), S_OK);
    EXPECT_EQ(source->vt, VT_EMPTY);
}

TEST(Variant, ScalarsAndReferencesCopyAsTheyAre)
{
    LONG target = 7;
    VARIANT byRef;
    VariantInit(&byRef);
    byRef.vt = VT_BYREF | VT_I4;
    byRef.plVal = &target;

    plat::ScopedVariant copy;
    ASSERT_EQ(VariantCopy(copy.Get(), &byRef), S_OK);
    EXPECT_EQ(copy->plVal, &target);

    VARIANT flag;
    VariantInit(&flag);
    flag.vt = VT_BOOL;
    flag.boolVal = VARIANT_TRUE;
    ASSERT_EQ(VariantCopy(copy.Get(), &flag), S_OK);
    EXPECT_EQ(copy->vt, VT_BOOL);
    EXPECT_EQ(copy->boolVal, VARIANT_TRUE);
}

TEST(Variant, UnknownTypesAreRefused)
{
    for (VARTYPE vt : {VARTYPE(0x7F), VARTYPE(VT_VARIANT), VARTYPE(VT_VECTOR | VT_UI1), VARTYPE(VT_ARRAY | VT_EMPTY)}) {
        SCOPED_TRACE(vt);
        VARIANT bad;
        VariantInit(&bad);
        bad.vt = vt;
        plat::ScopedVariant target;
        target->vt = VT_I4;
        EXPECT_EQ(VariantCopy(target.Get(), &bad), DISP_E_BADVARTYPE);
        EXPECT_EQ(target->vt, VT_I4) << "a refused copy leaves the target alone";
        EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
    }
}

TEST(ScopedVariant, MovesOwnership)
{
    plat::ScopedVariant a;
    a->vt = VT_BSTR;
    a->bstrVal = SysAllocString(u"moved");
    plat::ScopedVariant b(std::move(a));
    EXPECT_EQ(a->vt, VT_EMPTY);
    ASSERT_EQ(b->vt, VT_BSTR);

    plat::ScopedVariant c;
    c = std::move(b);
    VARIANT raw = c.Release();
    EXPECT_EQ(c->vt, VT_EMPTY);
    EXPECT_EQ(std::u16string(raw.bstrVal), u"moved");
    c.Reset(raw);
    EXPECT_EQ(c.Out()->vt, VT_EMPTY);
}

} // namespace
