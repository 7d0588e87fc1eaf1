#include "twainfw/CTWAINContainer.h"

#include "twainfw/FixedPoint.h"
#include "twainfw/TWAINException.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace Trellis {
namespace {

CTWAINOneValue Item(TW_UINT32 value, TW_UINT16 type) { return CTWAINOneValue(value, type); }
CTWAINOneValue Fix(float value) { return CTWAINOneValue(value); }

CTWAINEnumeration FixList(std::vector<float> values, TW_UINT32 current = 0, TW_UINT32 def = 0)
{
    CTWAINEnumeration e;
    for (float v : values)
        e.Add(Fix(v));
    e.CurrentIndex = current;
    e.DefaultIndex = def;
    return e;
}

std::vector<float> Floats(const CTWAINArray& a)
{
    std::vector<float> out;
    for (const CTWAINOneValue& item : a.m_List)
        out.push_back(item.GetFloat());
    return out;
}

TEST(CTWAINOneValue, EqualityAndOrderByType)
{
    const std::string text40(40, 's');
    std::string text40b = text40;
    text40b[35] = 't';
    struct Case {
        const char* what;
        CTWAINOneValue a, b;
        bool equal, less;
    };
    const Case cases[] = {
        {"INT8 low byte", Item(0x1FF, TWTY_INT8), Item(0xFF, TWTY_INT8), true, false},
        {"INT8 signed", Item(0xFF, TWTY_INT8), Item(0x01, TWTY_INT8), false, true},
        {"UINT8 unsigned", Item(0xFF, TWTY_UINT8), Item(0x01, TWTY_UINT8), false, false},
        {"INT16 signed", Item(0x8000, TWTY_INT16), Item(1, TWTY_INT16), false, true},
        {"UINT16 low half", Item(0x10005, TWTY_UINT16), Item(5, TWTY_UINT16), true, false},
        {"INT32 signed", Item(static_cast<TW_UINT32>(-5), TWTY_INT32), Item(0, TWTY_INT32), false, true},
        {"UINT32 unsigned", Item(static_cast<TW_UINT32>(-5), TWTY_UINT32), Item(0, TWTY_UINT32), false, false},
        {"BOOL truth", Item(2, TWTY_BOOL), Item(1, TWTY_BOOL), true, false},
        {"BOOL false < true", Item(0, TWTY_BOOL), Item(7, TWTY_BOOL), false, true},
        {"FIX32 exact", Fix(1.5f), Fix(1.5f), true, false},
        {"FIX32 one step", Fix(1.5f), Item(Fix32ToWord(FloatToFix32(1.5f)) + 0x10000, TWTY_FIX32), false, true},
        {"different types", Item(1, TWTY_UINT16), Item(1, TWTY_UINT32), false, false},
        {"STR32 counts 32 characters", CTWAINOneValue(text40, TWTY_STR32), CTWAINOneValue(text40b, TWTY_STR32), true,
         false},
        {"STR64 counts them all", CTWAINOneValue(text40, TWTY_STR64), CTWAINOneValue(text40b, TWTY_STR64), false, true},
        {"string order", CTWAINOneValue("ab", TWTY_STR32), CTWAINOneValue("abc", TWTY_STR32), false, true},
        {"FRAME by edges", CTWAINOneValue(CTWAINFrame(0, 0, 1, 1)), CTWAINOneValue(CTWAINFrame(0, 0, 1, 2)), false,
         false},
        {"FRAME order by Left", CTWAINOneValue(CTWAINFrame(0, 0, 9, 9)), CTWAINOneValue(CTWAINFrame(1, 0, 1, 1)), false,
         true},
        {"unknown type", Item(1, 99), Item(2, 99), true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.a == c.b, c.equal) << c.what;
        EXPECT_EQ(c.a < c.b, c.less) << c.what;
        EXPECT_EQ(c.a <= c.b, c.less || c.equal) << c.what;
    }
}

TEST(CTWAINOneValue, AdditionSteppingARange)
{
    struct Case {
        const char* what;
        CTWAINOneValue a, b;
        TW_UINT32 want;
    };
    const Case cases[] = {
        {"INT8 kept whole", Item(127, TWTY_INT8), Item(1, TWTY_INT8), 128},
        {"INT8 signed", Item(0xF6, TWTY_INT8), Item(5, TWTY_INT8), static_cast<TW_UINT32>(-5)},
        {"INT16 kept whole", Item(0x7FFF, TWTY_INT16), Item(1, TWTY_INT16), 0x8000},
        {"INT32", Item(static_cast<TW_UINT32>(-10), TWTY_INT32), Item(5, TWTY_INT32), static_cast<TW_UINT32>(-5)},
        {"UINT32 wraps", Item(0xFFFFFFF0u, TWTY_UINT32), Item(0x20, TWTY_UINT32), 0x10},
        {"BOOL", Item(0, TWTY_BOOL), Item(4, TWTY_BOOL), 1},
        {"FIX32", Fix(0.5f), Fix(0.25f), Fix32ToWord(FloatToFix32(0.75f))},
        {"FIX32 other type's word", Fix(1.0f), Item(Fix32ToWord(FloatToFix32(2.0f)), TWTY_UINT32),
         Fix32ToWord(FloatToFix32(3.0f))},
    };
    for (Case c : cases) {
        c.a += c.b;
        EXPECT_EQ(c.a.Value, c.want) << c.what;
    }

    CTWAINOneValue frame{CTWAINFrame(0, 0, 1, 1)};
    CTWAINOneValue text("x", TWTY_STR255);
    EXPECT_THROW(frame += Fix(1), CTWAINOneValueException);
    EXPECT_THROW(text += Fix(1), CTWAINOneValueException);
    EXPECT_THROW(frame.GetUInt16(), CTWAINOneValueException);
    EXPECT_EQ(Item(0x12345, TWTY_UINT32).GetUInt16(), 0x2345);
    EXPECT_EQ(CTWAINOneValue(std::string(300, 'z'), TWTY_STR255).GetString().size(), 255u);
    EXPECT_EQ(Item(5, TWTY_UINT16).GetString(), "");
}

TEST(CTWAINArray, FindRemoveAndConstrain)
{
    CTWAINArray a;
    for (TW_UINT32 v : {1u, 2u, 3u})
        a.Append(Item(v, TWTY_UINT16));
    EXPECT_EQ(a.Find(Item(3, TWTY_UINT16)), 2u);
    EXPECT_THROW(a.Find(Item(4, TWTY_UINT16)), CTWAINArrayException);
    EXPECT_FALSE(a.Contains(Item(4, TWTY_UINT16)));
    EXPECT_THROW(a.GetAt(3), CTWAINArrayException);

    a.RemoveAt(5);
    EXPECT_EQ(a.GetCount(), 3u) << "an index past the end removes nothing";

    CTWAINArray request;
    for (TW_UINT32 v : {3u, 9u, 3u, 1u})
        request.Append(Item(v, TWTY_UINT16));
    CTWAINArray result;
    result.Append(Item(7, TWTY_UINT16));
    EXPECT_FALSE(result.Constrain(request, a)) << "9 is refused";
    ASSERT_EQ(result.GetCount(), 2u);
    EXPECT_EQ(result.GetAt(0).Value, 3u);
    EXPECT_EQ(result.GetAt(1).Value, 1u);

    CTWAINArray frames;
    frames.Append(CTWAINOneValue(CTWAINFrame(0, 0, 1, 1)));
    frames.Append(CTWAINOneValue(CTWAINFrame(0, 0, 1, 1)));
    EXPECT_TRUE(result.Constrain(frames, frames));
    EXPECT_EQ(result.GetCount(), 2u) << "frames are never merged";

    EXPECT_TRUE(a.Constrain(a, a)) << "a list constrained by itself stays whole";
    EXPECT_EQ(a.GetCount(), 3u);
}

TEST(CTWAINEnumeration, SetCurrentNearest)
{
    struct Case {
        CTWAINOneValue value;
        bool result;
        bool adjusted;
        TW_UINT32 current;
    };
    const Case cases[] = {
        {Fix(250), true, true, 3},  // 200 and 300 equally near: the upper wins
        {Fix(50), false, false, 0}, // below the list
        {Fix(150), true, false, 1}, // listed
        {Fix(280), true, true, 3},
        {Fix(120), true, true, 0},
        {Item(Fix32ToWord(FloatToFix32(250)), TWTY_UINT32), true, true, 3}, // snapped as FIX32
        {Item(250, TWTY_UINT16), false, false, 0},                          // not a snapped type
    };
    for (const Case& c : cases) {
        CTWAINEnumeration e = FixList({100, 150, 200, 300});
        bool adjusted = !c.adjusted;
        EXPECT_EQ(e.SetCurrentNearest(c.value, adjusted), c.result) << c.value.GetFloat();
        EXPECT_EQ(adjusted, c.adjusted) << c.value.GetFloat();
        EXPECT_EQ(e.CurrentIndex, c.current) << c.value.GetFloat();
    }
    CTWAINEnumeration empty;
    bool adjusted = true;
    EXPECT_FALSE(empty.SetCurrentNearest(Fix(1), adjusted));
    EXPECT_FALSE(adjusted);
}

TEST(CTWAINEnumeration, AddSetCurrentAndIndexesOutsideTheList)
{
    CTWAINEnumeration e;
    e.Add(Item(5, TWTY_UINT16));
    e.Add(Item(7, TWTY_UINT16), true, false);
    e.Add(Item(5, TWTY_UINT16), false, true);
    EXPECT_EQ(e.GetCount(), 2u);
    EXPECT_EQ(e.CurrentIndex, 1u);
    EXPECT_EQ(e.DefaultIndex, 0u);

    CTWAINArray allowed;
    allowed.Append(Item(9, TWTY_UINT16));
    EXPECT_FALSE(e.SetCurrent(Item(9, TWTY_UINT16), allowed, false));
    EXPECT_FALSE(e.SetCurrent(Item(8, TWTY_UINT16), allowed, true));
    EXPECT_EQ(e.CurrentIndex, 1u);
    EXPECT_TRUE(e.SetCurrent(Item(9, TWTY_UINT16), allowed, true));
    EXPECT_EQ(e.CurrentIndex, 2u);
    EXPECT_EQ(e.GetCurrent().Value, 9u);

    // RemoveAt leaves the index pointing past the list: it names no item.
    e.RemoveAt(2);
    EXPECT_THROW(e.GetCurrent(), CTWAINEnumerationException);
    EXPECT_FALSE(e.CurrentItem().has_value());
    EXPECT_THROW(CTWAINEnumeration().GetCurrent(), CTWAINEnumerationException);

    e.Clear();
    EXPECT_EQ(e.CurrentIndex, 0u);
    EXPECT_EQ(e.GetCount(), 0u);
}

TEST(CTWAINEnumeration, ConstrainPicksDefaultAndCurrent)
{
    const CTWAINEnumeration allowed = FixList({100, 200, 300, 400});
    constexpr TW_UINT32 none = CTWAINEnumeration::kNoIndex;
    struct Case {
        const char* what;
        std::vector<float> request;
        TW_UINT32 requestCurrent, requestDefault;
        bool result;
        std::vector<float> list;
        float current, def;
    };
    // The list before each case: 100, 200, 300 with current 300 and default 200.
    const Case cases[] = {
        {"request's own choice", {300, 400}, 1, 0, true, {300, 400}, 400, 300},
        {"no index: old items kept", {200, 300}, none, none, true, {200, 300}, 300, 200},
        {"refused value dropped", {150, 400, 200}, 1, 0, false, {400, 200}, 400, 200},
        {"old items gone: first, then default", {400, 100}, none, none, true, {400, 100}, 400, 400},
        {"request index past its list", {100, 300}, 7, 9, true, {100, 300}, 300, 100},
    };
    for (const Case& c : cases) {
        CTWAINEnumeration e = FixList({100, 200, 300}, 2, 1);
        CTWAINEnumeration request = FixList(c.request, c.requestCurrent, c.requestDefault);
        EXPECT_EQ(e.Constrain(request, allowed), c.result) << c.what;
        EXPECT_EQ(Floats(e), c.list) << c.what;
        EXPECT_EQ(e.GetCurrent().GetFloat(), c.current) << c.what;
        EXPECT_EQ(e.GetDefault().GetFloat(), c.def) << c.what;
    }

    CTWAINEnumeration empty;
    EXPECT_FALSE(empty.Constrain(FixList({1}), allowed));
    EXPECT_EQ(empty.GetCount(), 0u);
}

TEST(CTWAINEnumeration, ConstrainToRangeAndConvertUnits)
{
    const CTWAINEnumeration allowed = FixList({100, 200, 300, 400, 600});
    CTWAINEnumeration e = FixList({100, 200}, 1, 0);
    EXPECT_FALSE(e.ConstrainToRange(CTWAINRange(100, 500, 100, 300, 400), allowed)) << "500 is not allowed";
    EXPECT_EQ(Floats(e), (std::vector<float>{100, 200, 300, 400}));
    EXPECT_EQ(e.GetCurrent().GetFloat(), 300);
    EXPECT_EQ(e.GetDefault().GetFloat(), 400);

    EXPECT_TRUE(e.ConstrainToRange(CTWAINRange(300, 400, 100, 50, 50), allowed));
    EXPECT_EQ(e.GetDefault().GetFloat(), 400) << "old default kept";
    EXPECT_EQ(e.GetCurrent().GetFloat(), 300) << "old current kept";

    // 1 and 2 pixels at 100000 dpi are both 1/65536 inch.
    CTWAINEnumeration pixels = FixList({1, 2, 300}, 2, 1);
    CTWAINEnumeration inches = pixels.ConvertUnits(TWUN_PIXELS, TWUN_INCHES, 100000);
    EXPECT_EQ(Floats(inches), (std::vector<float>{1.0f / 65536, 197.0f / 65536})) << "items that become equal collapse";
    EXPECT_EQ(inches.CurrentIndex, 1u);
    EXPECT_EQ(inches.DefaultIndex, 0u);
}

TEST(CTWAINRange, StepValuesAndNearest)
{
    CTWAINRange r(100, 600, 100, 200, 200);
    bool adjusted = false;
    EXPECT_TRUE(r.SetCurrentNearest(Fix(250), adjusted));
    EXPECT_TRUE(adjusted);
    EXPECT_EQ(r.GetCurrent().GetFloat(), 300);
    EXPECT_FALSE(r.SetCurrentNearest(Fix(700), adjusted));
    EXPECT_FALSE(adjusted);
    EXPECT_TRUE(r.SetCurrentNearest(Fix(500), adjusted));
    EXPECT_FALSE(adjusted);
    EXPECT_FALSE(r.Contains(Fix(350)));
    EXPECT_TRUE(r.Contains(Fix(600)));
    EXPECT_FALSE(r.TrySetCurrent(Fix(350)));
    EXPECT_TRUE(r.TrySetCurrent(Fix(100)));
    EXPECT_EQ(r.GetCurrent().GetFloat(), 100);

    CTWAINRange ints;
    ints.SetMin(Item(static_cast<TW_UINT32>(-10), TWTY_INT32));
    ints.SetMax(Item(10, TWTY_INT32));
    ints.SetStep(Item(5, TWTY_INT32));
    EXPECT_EQ(ints.ItemType, TWTY_INT32);
    EXPECT_TRUE(ints.Contains(Item(0, TWTY_INT32)));
    EXPECT_TRUE(ints.Contains(Item(static_cast<TW_UINT32>(-5), TWTY_INT32)));
    EXPECT_FALSE(ints.Contains(Item(3, TWTY_INT32)));
}

// Ranges whose walk the plain rule would never end, or would end wrongly.
TEST(CTWAINRange, DegenerateRangesEnd)
{
    auto range = [](TW_UINT32 min, TW_UINT32 max, TW_UINT32 step, TW_UINT16 type) {
        CTWAINRange r;
        r.SetMin(Item(min, type));
        r.SetMax(Item(max, type));
        r.SetStep(Item(step, type));
        r.SetCurrent(Item(min, type));
        r.SetDefault(Item(min, type));
        return r;
    };
    struct Case {
        const char* what;
        CTWAINRange r;
        std::vector<TW_UINT32> steps;
    };
    const Case cases[] = {
        {"step 0", range(5, 10, 0, TWTY_UINT32), {5}},
        {"negative step", range(5, 10, static_cast<TW_UINT32>(-1), TWTY_INT32), {5}},
        {"wraps past the top", range(0xFFFFFFE0u, 0xFFFFFFFFu, 0x10, TWTY_UINT32), {0xFFFFFFE0u, 0xFFFFFFF0u}},
        {"INT8 running past 127", range(120, 127, 5, TWTY_INT8), {120, 125}},
        {"unknown item type", range(1, 2, 1, 99), {1}},
        {"min above max", range(10, 5, 1, TWTY_UINT32), {}},
        {"all 65536 steps of a full range", range(0, 0xFFFFFFFFu, 0x10000, TWTY_UINT32), {}},
        {"FIX32 saturating",
         CTWAINRange(32767, 32767.99f, 0.5f, 32767, 32767),
         {Fix32ToWord(FloatToFix32(32767)), Fix32ToWord(FloatToFix32(32767.5f))}},
    };
    for (const Case& c : cases) {
        std::vector<TW_UINT32> seen;
        c.r.WalkSteps([&](const CTWAINOneValue& s) { seen.push_back(s.Value); });
        if (c.steps.empty() && c.r.MinValue <= c.r.MaxValue) {
            EXPECT_EQ(seen.size(), CTWAINRange::kMaxSteps) << c.what;
            EXPECT_EQ(seen.back(), 0xFFFF0000u) << c.what;
        } else {
            EXPECT_EQ(seen, c.steps) << c.what;
        }
    }

    // A range of 2^32 steps of 1: only the first 65536 are walked.
    CTWAINRange huge = range(0, 0xFFFFFFFFu, 1, TWTY_UINT32);
    EXPECT_TRUE(huge.Contains(CTWAINOneValue(65535, TWTY_UINT32)));
    EXPECT_FALSE(huge.Contains(CTWAINOneValue(65536, TWTY_UINT32)));

    CTWAINRange frames;
    frames.SetMin(CTWAINOneValue(CTWAINFrame(0, 0, 1, 1)));
    frames.SetMax(CTWAINOneValue(CTWAINFrame(1, 1, 2, 2)));
    EXPECT_THROW(frames.Contains(CTWAINOneValue(CTWAINFrame())), CTWAINOneValueException);
}

TEST(CTWAINRange, Constrain)
{
    const CTWAINRange allowed(100, 600, 100, 300, 300);
    CTWAINRange r(100, 600, 100, 400, 300);
    EXPECT_TRUE(r.Constrain(CTWAINRange(200, 400, 100, 200, 200), allowed));
    EXPECT_EQ(r.GetCurrent().GetFloat(), 400) << "an accepted request leaves the range unchanged";

    EXPECT_FALSE(r.Constrain(CTWAINRange(100, 700, 100, 500, 600), allowed));
    EXPECT_EQ(r.GetDefault().GetFloat(), 600);
    EXPECT_EQ(r.GetCurrent().GetFloat(), 500);
    EXPECT_EQ(r.GetMax().GetFloat(), 600) << "the bounds never change here";

    EXPECT_FALSE(r.Constrain(CTWAINRange(50, 60, 10, 55, 55), allowed));
    EXPECT_EQ(r.GetDefault().GetFloat(), 600) << "old default kept";
    EXPECT_EQ(r.GetCurrent().GetFloat(), 500) << "old current kept";

    CTWAINRange lost(100, 600, 100, 450, 450); // old items not step values
    EXPECT_FALSE(lost.Constrain(CTWAINRange(50, 60, 10, 55, 55), allowed));
    EXPECT_EQ(lost.GetDefault().GetFloat(), 100) << "minimum as default";
    EXPECT_EQ(lost.GetCurrent().GetFloat(), 100) << "default as current";
}

TEST(CTWAINRange, ConvertUnits)
{
    CTWAINRange r(75, 600, 75, 300, 150);
    CTWAINRange inches = r.ConvertUnits(TWUN_PIXELS, TWUN_INCHES, 300);
    EXPECT_EQ(inches.GetMin().GetFloat(), 0.25f);
    EXPECT_EQ(inches.GetMax().GetFloat(), 2.0f);
    EXPECT_EQ(inches.GetCurrent().GetFloat(), 1.0f);
    EXPECT_EQ(inches.GetDefault().GetFloat(), 0.5f);

    CTWAINRange ints;
    ints.SetMin(Item(1, TWTY_UINT16));
    EXPECT_THROW(ints.ConvertUnits(TWUN_PIXELS, TWUN_INCHES, 300), CTWAINRangeException);
    EXPECT_THROW(ints.ConvertUnits(TWUN_INCHES, TWUN_INCHES, 300), CTWAINRangeException);
}

TEST(CTWAINContainer, ViewsByType)
{
    using Get = std::function<void(const CTWAINContainer&)>;
    const Get views[] = {
        [](const CTWAINContainer& c) { c.GetOneValue(); },    [](const CTWAINContainer& c) { c.GetArray(); },
        [](const CTWAINContainer& c) { c.GetEnumeration(); }, [](const CTWAINContainer& c) { c.GetRange(); },
        [](const CTWAINContainer& c) { c.Contains(Fix(1)); },
    };
    struct Case {
        const char* what;
        CTWAINContainer c;
        TW_UINT32 type;
        std::vector<bool> allowed;
    };
    CTWAINArray array;
    array.Append(Fix(1));
    CTWAINContainer emptyOne(Fix(1));
    emptyOne.List.Clear();
    const Case cases[] = {
        {"empty", CTWAINContainer(), 0, {false, false, false, false, false}},
        {"array", CTWAINContainer(array), TWON_ARRAY, {false, true, false, false, true}},
        {"enumeration", CTWAINContainer(FixList({1, 2})), TWON_ENUMERATION, {false, true, true, false, true}},
        {"one value", CTWAINContainer(Fix(1)), TWON_ONEVALUE, {true, false, false, false, true}},
        {"one value without item", emptyOne, TWON_ONEVALUE, {false, false, false, false, true}},
        {"range", CTWAINContainer(CTWAINRange(1, 2, 1, 1, 1)), TWON_RANGE, {false, false, false, true, false}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.c.ContainerType, c.type) << c.what;
        for (size_t i = 0; i < std::size(views); ++i) {
            if (c.allowed[i])
                EXPECT_NO_THROW(views[i](c.c)) << c.what << " view " << i;
            else
                EXPECT_THROW(views[i](c.c), CTWAINContainerException) << c.what << " view " << i;
        }
    }
    EXPECT_EQ(static_cast<CTWAINOneValue>(CTWAINContainer(Fix(2.5f))).GetFloat(), 2.5f);
    EXPECT_FALSE(emptyOne.Contains(Fix(1)));
}

TEST(CTWAINContainer, AssignmentCopiesTypeRangeListAndIndexes)
{
    CTWAINContainer source(FixList({1, 2, 3}, 2, 1));
    source.SetRange(CTWAINRange(1, 9, 1, 5, 4)); // the list stays
    CTWAINContainer target(Item(7, TWTY_UINT16));
    target = source;
    EXPECT_EQ(target.ContainerType, TWON_RANGE);
    EXPECT_EQ(target.Range.GetCurrent().GetFloat(), 5);
    EXPECT_EQ(Floats(target.List), (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(target.List.CurrentIndex, 2u);
    EXPECT_EQ(target.List.DefaultIndex, 1u);
    EXPECT_EQ(source.List.GetCount(), 3u);

    target.SetOneValue(Fix(8));
    EXPECT_EQ(target.List.GetCount(), 1u);
    EXPECT_EQ(target.List.CurrentIndex, 0u);
}

} // namespace
} // namespace Trellis
