// The reference-counting building blocks: a plain counted object, and the
// aggregatable root with its creation helper.
#include "platform/com/ComObjectRoot.h"
#include "platform/com/ComTesting.h"
#include "platform/com/RefCounted.h"

#include <gtest/gtest.h>

namespace {

using plat::testing::CountedValue;

// Tells the test when (and in what order) an object's hooks ran.
struct Events {
    bool finalReleased = false;
    bool destroyed = false;
    bool finalReleasedBeforeDestroyed = false;
};

class Counted final : public plat::RefCounted<ITestValue> {
public:
    explicit Counted(Events& events) : m_events(events) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE GetValue(LONG* value) override
    {
        *value = 1;
        return S_OK;
    }
    using plat::RefCounted<ITestValue>::References;

private:
    ~Counted() override { m_events.destroyed = true; }

    Events& m_events;
};

TEST(RefCounted, StartsWithTheCreatorsReferenceAndDeletesAtZero)
{
    Events events;
    auto* object = new Counted(events);
    EXPECT_EQ(object->References(), 1u);
    EXPECT_EQ(object->AddRef(), 2u);
    EXPECT_TRUE(object->TryAddRef());
    EXPECT_EQ(object->Release(), 2u);
    EXPECT_EQ(object->Release(), 1u);
    EXPECT_FALSE(events.destroyed);
    EXPECT_EQ(object->Release(), 0u);
    EXPECT_TRUE(events.destroyed);
}

plat::ComModule g_module;
Events* g_events = nullptr;       // the hooks of the next Thing made
HRESULT g_constructResult = S_OK; // what its FinalConstruct answers

class Thing final : public plat::ComObjectRoot, public ITestValue {
public:
    explicit Thing(IUnknown* outer) : plat::ComObjectRoot(outer, g_module), m_events(*g_events) {}

    HRESULT FinalConstruct() override { return g_constructResult; }
    void FinalRelease() override { m_events.finalReleased = true; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        return OuterQueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return OuterAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return OuterRelease(); }
    HRESULT STDMETHODCALLTYPE GetValue(LONG* value) override
    {
        *value = 5;
        return S_OK;
    }

protected:
    void* GetInterface(REFIID riid) override
    {
        return riid == IID_ITestValue ? static_cast<ITestValue*>(this) : nullptr;
    }

private:
    ~Thing() override
    {
        m_events.destroyed = true;
        m_events.finalReleasedBeforeDestroyed = m_events.finalReleased;
    }

    Events& m_events;
};

class ComObjectRootTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_events = &m_events;
        g_constructResult = S_OK;
    }
    void TearDown() override { EXPECT_EQ(g_module.LockCount(), 0); }

    Events m_events;
};

TEST_F(ComObjectRootTest, OnItsOwnTheObjectIsItsOwnIdentity)
{
    void* out = nullptr;
    ASSERT_EQ(plat::CreateComObject<Thing>(nullptr, IID_ITestValue, &out, false), S_OK);
    auto* value = static_cast<ITestValue*>(out);
    EXPECT_EQ(g_module.LockCount(), 1);

    void* unknown = nullptr;
    ASSERT_EQ(value->QueryInterface(IID_IUnknown, &unknown), S_OK);
    void* again = nullptr;
    ASSERT_EQ(static_cast<IUnknown*>(unknown)->QueryInterface(IID_ITestValue, &again), S_OK);
    EXPECT_EQ(again, out);
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(value->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    EXPECT_EQ(value->Release(), 2u);
    EXPECT_EQ(static_cast<IUnknown*>(unknown)->Release(), 1u);
    EXPECT_FALSE(m_events.destroyed);
    EXPECT_EQ(value->Release(), 0u);
    EXPECT_TRUE(m_events.finalReleasedBeforeDestroyed);
}

TEST_F(ComObjectRootTest, AggregatedItsInterfacesCountOnTheOuterObject)
{
    CountedValue outer(0);
    void* out = nullptr;
    ASSERT_EQ(plat::CreateComObject<Thing>(&outer, IID_IUnknown, &out, true), S_OK);
    auto* inner = static_cast<IUnknown*>(out);
    EXPECT_EQ(outer.References(), 0u);

    void* valueOut = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_ITestValue, &valueOut), S_OK);
    auto* value = static_cast<ITestValue*>(valueOut);
    EXPECT_EQ(outer.References(), 1u); // the interface's reference went to the outer

    // The interface's IUnknown is the outer object's.
    void* identity = nullptr;
    ASSERT_EQ(value->QueryInterface(IID_IUnknown, &identity), S_OK);
    EXPECT_EQ(identity, static_cast<ITestValue*>(&outer));
    EXPECT_EQ(outer.References(), 2u);
    value->Release();
    value->Release();
    EXPECT_EQ(outer.References(), 0u);

    EXPECT_FALSE(m_events.destroyed);
    EXPECT_EQ(inner->Release(), 0u); // the outer holds the inner's lifetime
    EXPECT_TRUE(m_events.destroyed);
}

TEST_F(ComObjectRootTest, CreationRefusedOrFailedLeavesNothing)
{
    CountedValue outerObject(0);
    struct Case {
        IUnknown* outer;
        const IID& riid;
        bool aggregatable;
        HRESULT construct;
        HRESULT expected;
        bool made;
    };
    const Case cases[] = {
        {&outerObject, IID_ITestValue, true, S_OK, CLASS_E_NOAGGREGATION, false}, // outer must ask for IUnknown
        {&outerObject, IID_IUnknown, false, S_OK, CLASS_E_NOAGGREGATION, false},  // class cannot be aggregated
        {nullptr, IID_ITestValue, false, E_FAIL, E_FAIL, true},                   // FinalConstruct failed
        {nullptr, IID_IClassFactory, false, S_OK, E_NOINTERFACE, true},           // no such interface
    };
    for (const Case& c : cases) {
        Events events;
        g_events = &events;
        g_constructResult = c.construct;
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(plat::CreateComObject<Thing>(c.outer, c.riid, &out, c.aggregatable), c.expected);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(events.destroyed, c.made);
        EXPECT_EQ(g_module.LockCount(), 0);
    }
    EXPECT_EQ(outerObject.References(), 0u);
}

} // namespace
