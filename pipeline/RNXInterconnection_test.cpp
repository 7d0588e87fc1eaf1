#include "pipeline/testing/FakePayloadSource.h"
#include "pipeline/testing/PipelineLibraryTest.h"

#include <thread>

namespace {

class InterconnectionTest : public PipelineLibraryTest {
protected:
    void SetUp() override
    {
        PipelineLibraryTest::SetUp();
        m_link = Create<IRNXInterconnection>(CLSID_RNXInterconnection, IID_IRNXInterconnection);
        ASSERT_TRUE(m_link);
    }
    void TearDown() override
    {
        m_link.Reset();
        PipelineLibraryTest::TearDown();
    }

    plat::ComPtr<IRNXInterconnection> m_link;
};

TEST_F(InterconnectionTest, ObtainWithoutAPayloadSourceIsNoInterfaceAndLeavesThePayload)
{
    IDispatch* payload = reinterpret_cast<IDispatch*>(0x1234);
    EXPECT_EQ(m_link->Obtain(&payload), E_NOINTERFACE);

    // An object without IRNXPayloadSource connects, but gives nothing.
    auto xml = Create<IDispatch>(CLSID_XMLObj, IID_IDispatch);
    ASSERT_TRUE(xml);
    EXPECT_EQ(m_link->Connect(xml.Get()), S_OK);
    EXPECT_EQ(m_link->Obtain(&payload), E_NOINTERFACE);
    EXPECT_EQ(m_link->Connect(nullptr), S_OK);
    EXPECT_EQ(m_link->Obtain(&payload), E_NOINTERFACE);
    EXPECT_EQ(payload, reinterpret_cast<IDispatch*>(0x1234));
}

TEST_F(InterconnectionTest, ObtainPassesTheCallersPayloadAndTheAnswer)
{
    auto* fake = new FakePayloadSource;
    IDispatch* seen = nullptr;
    IDispatch** seenAddress = nullptr;
    fake->handler = [&](IDispatch** payload) {
        seenAddress = payload;
        seen = *payload;
        return static_cast<HRESULT>(0x80041234);
    };
    ASSERT_EQ(m_link->Connect(fake), S_OK);
    IDispatch* payload = reinterpret_cast<IDispatch*>(0x5678);
    EXPECT_EQ(m_link->Obtain(&payload), static_cast<HRESULT>(0x80041234));
    EXPECT_EQ(seenAddress, &payload);
    EXPECT_EQ(seen, reinterpret_cast<IDispatch*>(0x5678));
    EXPECT_EQ(fake->calls, 1);
    fake->Release();
}

TEST_F(InterconnectionTest, ConnectingAgainKeepsOneReferenceAndLettingGoReleasesIt)
{
    auto* first = new FakePayloadSource;
    auto* second = new FakePayloadSource;
    ASSERT_EQ(m_link->Connect(first), S_OK);
    const ULONG connected = first->References();
    EXPECT_GT(connected, 1u);
    ASSERT_EQ(m_link->Connect(first), S_OK);
    EXPECT_EQ(first->References(), connected);

    // Another precursor replaces the first, which is given back whole.
    ASSERT_EQ(m_link->Connect(second), S_OK);
    EXPECT_EQ(first->References(), 1u);
    IDispatch* payload = nullptr;
    m_link->Obtain(&payload);
    EXPECT_EQ(first->calls, 0);
    EXPECT_EQ(second->calls, 1);

    m_link.Reset();
    EXPECT_EQ(second->References(), 1u);
    first->Release();
    second->Release();
}

TEST_F(InterconnectionTest, ObtainFromAnotherThreadReachesThePrecursorThroughTheTable)
{
    auto* fake = new FakePayloadSource;
    ASSERT_EQ(m_link->Connect(fake), S_OK);

    HRESULT inApartment = E_FAIL;
    HRESULT withoutCom = E_FAIL;
    std::thread::id worker;
    std::thread([&] {
        worker = std::this_thread::get_id();
        IDispatch* payload = nullptr;
        // A thread that has not entered COM cannot use the table.
        withoutCom = m_link->Obtain(&payload);
        if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
            inApartment = m_link->Obtain(&payload);
            CoUninitialize();
        }
    }).join();

    EXPECT_EQ(withoutCom, CO_E_NOTINITIALIZED);
    EXPECT_EQ(inApartment, S_OK);
    EXPECT_EQ(fake->calls, 1);
    EXPECT_EQ(fake->lastThread, worker);
    m_link.Reset();
    EXPECT_EQ(fake->References(), 1u);
    fake->Release();
}

} // namespace
