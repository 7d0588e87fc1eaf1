#include "platform/oleauto/ScopedBstr.h"
#include "platform/oleauto/ScopedSafeArray.h"
#include "platform/oleauto/ScopedVariant.h"
#include "platform/oleauto/bstr.h"
#include "platform/oleauto/comerror.h"
#include "platform/oleauto/safearray.h"
#include "platform/oleauto/variant.h"
#include "platform/oleauto/testing/CountingUnknown.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using plat::testing::CountingDispatch;

TEST(SafeArray, ByteVectorDescribesItself)
{
    plat::ScopedSafeArray array(SafeArrayCreateVector(VT_UI1, -2, 5));
    ASSERT_NE(array.Get(), nullptr);
    EXPECT_EQ(SafeArrayGetDim(array.Get()), 1u);
    EXPECT_EQ(SafeArrayGetElemsize(array.Get()), 1u);
    VARTYPE vt = VT_EMPTY;
    EXPECT_EQ(SafeArrayGetVartype(array.Get(), &vt), S_OK);
    EXPECT_EQ(vt, VT_UI1);
    LONG lower = 0, upper = 0;
    EXPECT_EQ(SafeArrayGetLBound(array.Get(), 1, &lower), S_OK);
    EXPECT_EQ(SafeArrayGetUBound(array.Get(), 1, &upper), S_OK);
    EXPECT_EQ(lower, -2);
    EXPECT_EQ(upper, 2);
    EXPECT_EQ(SafeArrayGetUBound(array.Get(), 2, &upper), DISP_E_BADINDEX);
    EXPECT_EQ(SafeArrayGetLBound(array.Get(), 0, &lower), DISP_E_BADINDEX);

    plat::ScopedSafeArray empty(SafeArrayCreateVector(VT_UI1, 0, 0));
    ASSERT_NE(empty.Get(), nullptr);
    EXPECT_EQ(SafeArrayGetUBound(empty.Get(), 1, &upper), S_OK);
    EXPECT_EQ(upper, -1);
}

// A vector made to be filled is in every way but its unzeroed bytes the
// vector SafeArrayCreateVector makes; cut to what was filled and grown
// again, the grown part reads as zeros, not as what the heap held.
TEST(SafeArray, ByteVectorToFillIsAPlainByteVector)
{
    const struct {
        LONG lower;
        ULONG count;
    } cases[] = {{0, 0}, {-2, 5}, {0, 1 << 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.count);
        plat::ScopedSafeArray toFill(plat::CreateByteVectorToFill(c.lower, c.count));
        plat::ScopedSafeArray zeroed(SafeArrayCreateVector(VT_UI1, c.lower, c.count));
        ASSERT_NE(toFill.Get(), nullptr);
        ASSERT_NE(toFill.Get()->pvData, nullptr);
        EXPECT_EQ(toFill.Get()->cDims, zeroed.Get()->cDims);
        EXPECT_EQ(toFill.Get()->fFeatures, zeroed.Get()->fFeatures);
        EXPECT_EQ(toFill.Get()->cbElements, zeroed.Get()->cbElements);
        EXPECT_EQ(toFill.Get()->cLocks, 0u);
        EXPECT_EQ(toFill.Get()->rgsabound[0].cElements, c.count);
        EXPECT_EQ(toFill.Get()->rgsabound[0].lLbound, c.lower);
        VARTYPE vt = VT_EMPTY;
        EXPECT_EQ(SafeArrayGetVartype(toFill.Get(), &vt), S_OK);
        EXPECT_EQ(vt, VT_UI1);
    }

    plat::ScopedSafeArray band(plat::CreateByteVectorToFill(0, 4096));
    ASSERT_NE(band.Get(), nullptr);
    std::memset(band.Get()->pvData, 0xA5, 100);
    SAFEARRAYBOUND filled{100, 0};
    ASSERT_EQ(SafeArrayRedim(band.Get(), &filled), S_OK);
    SAFEARRAYBOUND grown{4096, 0};
    ASSERT_EQ(SafeArrayRedim(band.Get(), &grown), S_OK);
    const auto* bytes = static_cast<const BYTE*>(band.Get()->pvData);
    EXPECT_EQ(bytes[99], 0xA5);
    for (ULONG i = 100; i < 4096; ++i)
        ASSERT_EQ(bytes[i], 0) << "byte " << i;
}

TEST(SafeArray, PlainArraysCopyAndResizeWithTheirValues)
{
    plat::ScopedSafeArray array(SafeArrayCreateVector(VT_I4, 3, 1000));
    ASSERT_NE(array.Get(), nullptr);
    auto* values = static_cast<LONG*>(array.Get()->pvData);
    for (LONG i = 0; i < 1000; ++i)
        values[i] = i * 7 - 3;

    plat::ScopedSafeArray copy;
    ASSERT_EQ(SafeArrayCopy(array.Get(), copy.Out()), S_OK);
    ASSERT_NE(copy.Get()->pvData, array.Get()->pvData);
    EXPECT_EQ(copy.Get()->rgsabound[0].lLbound, 3);
    EXPECT_EQ(copy.Get()->rgsabound[0].cElements, 1000u);
    EXPECT_EQ(std::memcmp(copy.Get()->pvData, values, 1000 * sizeof(LONG)), 0);

    // Smaller keeps the values that remain; larger adds zeroes after them.
    SAFEARRAYBOUND smaller{10, 3};
    ASSERT_EQ(SafeArrayRedim(copy.Get(), &smaller), S_OK);
    LONG upper = 0;
    EXPECT_EQ(SafeArrayGetUBound(copy.Get(), 1, &upper), S_OK);
    EXPECT_EQ(upper, 12);
    SAFEARRAYBOUND larger{20, 0};
    ASSERT_EQ(SafeArrayRedim(copy.Get(), &larger), S_OK);
    const auto* resized = static_cast<const LONG*>(copy.Get()->pvData);
    EXPECT_EQ(std::memcmp(resized, values, 10 * sizeof(LONG)), 0);
    for (int i = 10; i < 20; ++i)
        EXPECT_EQ(resized[i], 0) << i;

    plat::SafeArrayAccess locked(copy.Get());
    EXPECT_EQ(SafeArrayRedim(copy.Get(), &smaller), DISP_E_ARRAYISLOCKED);
}

TEST(SafeArray, ElementsByIndexWithinBoundsOnly)
{
    plat::ScopedSafeArray array(SafeArrayCreateVector(VT_I4, 1, 3));
    ASSERT_NE(array.Get(), nullptr);
    struct Case {
        LONG index;
        HRESULT expected;
    };
    for (Case c : {Case{0, DISP_E_BADINDEX}, Case{1, S_OK}, Case{3, S_OK}, Case{4, DISP_E_BADINDEX},
                   Case{LONG(0x80000000), DISP_E_BADINDEX}, Case{0x7FFFFFFF, DISP_E_BADINDEX}}) {
        SCOPED_TRACE(c.index);
        LONG value = (c.index & 0xFF) * 10;
        EXPECT_EQ(SafeArrayPutElement(array.Get(), &c.index, &value), c.expected);
        LONG back = -1;
        EXPECT_EQ(SafeArrayGetElement(array.Get(), &c.index, &back), c.expected);
        if (c.expected == S_OK) {
            EXPECT_EQ(back, value);
        }
    }
    plat::SafeArrayAccess access(array.Get());
    ASSERT_EQ(access.Result(), S_OK);
    const LONG* data = static_cast<const LONG*>(access.Data());
    EXPECT_EQ(data[0], 10);
    EXPECT_EQ(data[1], 0);
    EXPECT_EQ(data[2], 30);
}

TEST(SafeArray, LockedArrayIsNotDestroyed)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, 2);
    ASSERT_NE(array, nullptr);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array, &data), S_OK);
    ASSERT_EQ(SafeArrayLock(array), S_OK);
    EXPECT_EQ(array->cLocks, 2u);
    EXPECT_EQ(SafeArrayDestroy(array), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnlock(array), S_OK);
    EXPECT_EQ(SafeArrayDestroy(array), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(SafeArrayUnaccessData(array), S_OK);
    EXPECT_EQ(SafeArrayUnlock(array), E_UNEXPECTED);
    EXPECT_EQ(SafeArrayDestroy(array), S_OK);
    EXPECT_EQ(SafeArrayDestroy(nullptr), S_OK);
}

TEST(SafeArray, StringElementsAreOwnedCopies)
{
    plat::ScopedSafeArray array(SafeArrayCreateVector(VT_BSTR, 0, 2));
    ASSERT_NE(array.Get(), nullptr);
    LONG index = 1;
    plat::ScopedBstr first(u"first");
    ASSERT_EQ(SafeArrayPutElement(array.Get(), &index, first.Get()), S_OK);
    // Replacing an element frees the old one; putting an element's own
    // string back over it must survive.
    BSTR* slot = nullptr;
    ASSERT_EQ(SafeArrayPtrOfIndex(array.Get(), &index, reinterpret_cast<void**>(&slot)), S_OK);
    EXPECT_NE(*slot, first.Get());
    ASSERT_EQ(SafeArrayPutElement(array.Get(), &index, *slot), S_OK);

    plat::ScopedSafeArray copy;
    ASSERT_EQ(SafeArrayCopy(array.Get(), copy.Out()), S_OK);
    array.Reset();

    plat::ScopedBstr out;
    ASSERT_EQ(SafeArrayGetElement(copy.Get(), &index, out.Out()), S_OK);
    EXPECT_EQ(out.View(), u"first");
    index = 0;
    ASSERT_EQ(SafeArrayGetElement(copy.Get(), &index, out.Out()), S_OK);
    EXPECT_EQ(out.Get(), nullptr);

    // A string cut off by a smaller bound is freed (the leak checker sees it).
    SAFEARRAYBOUND one{1, 0};
    ASSERT_EQ(SafeArrayRedim(copy.Get(), &one), S_OK);
    index = 1;
    EXPECT_EQ(SafeArrayGetElement(copy.Get(), &index, out.Out()), DISP_E_BADINDEX);
}

TEST(SafeArray, InterfaceAndVariantElementsHoldReferences)
{
    CountingDispatch object;
    {
        plat::ScopedSafeArray unknowns(SafeArrayCreateVector(VT_UNKNOWN, 0, 1));
        plat::ScopedSafeArray variants(SafeArrayCreateVector(VT_VARIANT, 0, 1));
        ASSERT_NE(unknowns.Get(), nullptr);
        ASSERT_NE(variants.Get(), nullptr);
        LONG index = 0;
        ASSERT_EQ(SafeArrayPutElement(unknowns.Get(), &index, static_cast<IUnknown*>(&object)), S_OK);
        EXPECT_EQ(object.refs, 2u);

        plat::ScopedVariant value;
        value->vt = VT_DISPATCH;
        value->pdispVal = &object;
        object.AddRef();
        ASSERT_EQ(SafeArrayPutElement(variants.Get(), &index, value.Get()), S_OK);
        EXPECT_EQ(object.refs, 4u);

        plat::ScopedSafeArray copy;
        ASSERT_EQ(SafeArrayCopy(variants.Get(), copy.Out()), S_OK);
        EXPECT_EQ(object.refs, 5u);

        IUnknown* got = nullptr;
        ASSERT_EQ(SafeArrayGetElement(unknowns.Get(), &index, &got), S_OK);
        EXPECT_EQ(got, &object);
        got->Release();

        plat::ScopedVariant back;
        ASSERT_EQ(SafeArrayGetElement(copy.Get(), &index, back.Get()), S_OK);
        EXPECT_EQ(back->vt, VT_DISPATCH);
        EXPECT_EQ(object.refs, 6u);

        plat::ScopedSafeArray dispatches(SafeArrayCreateVector(VT_DISPATCH, 0, 1));
        ASSERT_NE(dispatches.Get(), nullptr);
        ASSERT_EQ(SafeArrayPutElement(dispatches.Get(), &index, static_cast<IDispatch*>(&object)), S_OK);
        EXPECT_EQ(object.refs, 7u);
    }
    EXPECT_EQ(object.refs, 1u);
}

TEST(SafeArray, UnsupportedShapesAreRefused)
{
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 0}};
    EXPECT_EQ(SafeArrayCreate(VT_UI1, 2, bounds), nullptr);
    EXPECT_EQ(SafeArrayCreate(VT_UI1, 0, bounds), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_EMPTY, 0, 2), nullptr);
    EXPECT_EQ(SafeArrayCreateVector(VT_RECORD, 0, 2), nullptr);
    SAFEARRAY* copy = reinterpret_cast<SAFEARRAY*>(1);
    EXPECT_EQ(SafeArrayCopy(nullptr, &copy), S_OK);
    EXPECT_EQ(copy, nullptr);
}

} // namespace
