// A scanner data source opened by an application, with a hardware service
// of the test's own, and the triplets an application sends it: each goes
// through Dispatch, where DS_Entry hands every triplet.
#pragma once

#include "halservice/interfaces/testing/FakeHal.h"
#include "platform/com/ComTesting.h"
#include "platform/testing/TempSystemRoot.h"
#include "twainds/CQBK24DataSource.h"
#include "twainfw/CTWAINContainer.h"
#include "twainfw/FixedPoint.h"
#include "twainfw/TWAINException.h"
#include "twainfw/TWAINMemory.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace qbk24::testing {

// An item as a number: FIX32 as its decimal value, the rest as the integer.
inline double Number(const Trellis::CTWAINOneValue& item)
{
    return item.ItemType == TWTY_FIX32 ? item.GetFloat() : static_cast<double>(item.Value);
}

inline std::vector<double> Numbers(const Trellis::CTWAINArray& list)
{
    std::vector<double> numbers;
    for (const Trellis::CTWAINOneValue& item : list.m_List)
        numbers.push_back(Number(item));
    return numbers;
}

inline std::vector<double> Edges(const TW_FRAME& frame)
{
    return {Trellis::Fix32ToFloat(frame.Left), Trellis::Fix32ToFloat(frame.Top), Trellis::Fix32ToFloat(frame.Right),
            Trellis::Fix32ToFloat(frame.Bottom)};
}

// Each edge within the margin of the expected one.
inline void ExpectEdges(const std::vector<double>& expected, const TW_FRAME& frame, double margin)
{
    const std::vector<double> edges = Edges(frame);
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(expected[i], edges[i], margin) << "edge " << i;
}

// The data source with the state an image transfer leaves behind, which
// only the framework's transfers reach otherwise, and a pipeline a test may
// build in place of the real one.
class TestDataSource : public CQBK24DataSource {
public:
    void EnterTransferDone()
    {
        SetState(7);
        m_XferDone = 1;
    }

    void BuildPipeline() override
    {
        ++PipelinesBuilt;
        if (TestPipeline)
            TestPipeline();
        else
            CQBK24DataSource::BuildPipeline();
    }

    // While set, these fail as a refusing device makes them: the
    // double-feed actions (the document settings page reads them as it
    // starts), the current page size (so do the profiles and scan settings
    // pages) and a new frame.
    Trellis::CTWAINContainer GetDoubleFeedActionValues() override
    {
        if (RefuseDoubleFeedActions)
            throw Trellis::CTWAINException("double-feed actions refused");
        return CQBK24DataSource::GetDoubleFeedActionValues();
    }

    TW_UINT16 GetSupportedSizesCurrent() override
    {
        if (RefuseSupportedSizes)
            throw Trellis::CTWAINException("page size refused");
        return CQBK24DataSource::GetSupportedSizesCurrent();
    }

    void SetFramesCurrent(const Trellis::CTWAINFrame& value) override
    {
        if (RefuseFrames)
            throw Trellis::CTWAINException("frame refused");
        CQBK24DataSource::SetFramesCurrent(value);
    }

    std::function<void()> TestPipeline;
    int PipelinesBuilt = 0;
    bool RefuseDoubleFeedActions = false;
    bool RefuseSupportedSizes = false;
    bool RefuseFrames = false;
};

class OpenSourceTest : public ::testing::Test {
protected:
    static constexpr CLSID kFakeHalClsid = plat::MakeGuid("2B8E5C71-94D0-4F3A-B6E2-71C0A9D45E18");

    void SetUp() override
    {
        ASSERT_EQ(CoRegisterClassObject(kFakeHalClsid, &m_factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &m_cookie),
                  S_OK);
        m_source.HalClsid = kFakeHalClsid;
        // The framework's part of Init: the device's part reads registry
        // values that these tests do not need.
        ASSERT_TRUE(m_source.Trellis::CTWAINDataSource::Init(nullptr));
        ASSERT_EQ(TWRC_SUCCESS, OpenSource());
    }

    void TearDown() override
    {
        TW_IDENTITY identity = m_source.GetIdentity();
        m_source.Dispatch(&m_app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &identity);
        CoRevokeClassObject(m_cookie);
    }

    TW_UINT16 OpenSource()
    {
        TW_IDENTITY identity = m_source.GetIdentity();
        identity.Id = 2;
        return static_cast<TW_UINT16>(m_source.Dispatch(&m_app, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &identity));
    }

    void CloseSource()
    {
        TW_IDENTITY identity = m_source.GetIdentity();
        ASSERT_EQ(TWRC_SUCCESS, m_source.Dispatch(&m_app, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &identity));
    }

    // The message's return code and its answer, read from its handle, which
    // is then freed.
    TW_UINT16 Query(TW_UINT16 id, TW_UINT16 msg, Trellis::CTWAINContainer& answer)
    {
        TW_CAPABILITY capability{id, TWON_DONTCARE16, nullptr};
        const int rc = m_source.Dispatch(&m_app, DG_CONTROL, DAT_CAPABILITY, msg, &capability);
        answer = Trellis::CTWAINContainer();
        if (capability.hContainer) {
            answer.FromHandle(capability.hContainer, capability.ConType);
            Trellis::TWAINFreeHandle(capability.hContainer);
        }
        return static_cast<TW_UINT16>(rc);
    }

    // The answer of a message that must succeed.
    Trellis::CTWAINContainer Ask(TW_UINT16 id, TW_UINT16 msg)
    {
        Trellis::CTWAINContainer answer;
        EXPECT_EQ(TWRC_SUCCESS, Query(id, msg, answer)) << "cap 0x" << std::hex << id << " msg " << std::dec << msg;
        return answer;
    }

    TW_UINT16 Send(TW_UINT16 id, TW_UINT16 msg, const Trellis::CTWAINContainer& container)
    {
        TW_HANDLE handle = container.ToHandle();
        TW_CAPABILITY capability{id, static_cast<TW_UINT16>(container.ContainerType), handle};
        const int rc = m_source.Dispatch(&m_app, DG_CONTROL, DAT_CAPABILITY, msg, &capability);
        Trellis::TWAINFreeHandle(handle);
        return static_cast<TW_UINT16>(rc);
    }

    TW_UINT16 SetOne(TW_UINT16 id, const Trellis::CTWAINOneValue& value)
    {
        return Send(id, MSG_SET, Trellis::CTWAINContainer(value));
    }

    TW_UINT16 Status()
    {
        TW_STATUS status{};
        m_source.Dispatch(&m_app, DG_CONTROL, DAT_STATUS, MSG_GET, &status);
        return status.ConditionCode;
    }

    double Current(TW_UINT16 id) { return Number(Ask(id, MSG_GETCURRENT).GetOneValue()); }

    // Every setting, as the source's settings image holds it.
    std::vector<BYTE> Settings()
    {
        HGLOBAL block = m_source.GetDSDataBlock();
        const auto* bytes = static_cast<const BYTE*>(GlobalLock(block));
        std::vector<BYTE> image(bytes, bytes + GlobalSize(block));
        GlobalUnlock(block);
        GlobalFree(block);
        return image;
    }

    plat::testing::TempSystemRoot m_root;
    plat::testing::ComScope m_com;
    FakeHal m_hal;
    FakeHalFactory m_factory{m_hal};
    DWORD m_cookie = 0;
    TestDataSource m_source;
    TW_IDENTITY m_app = [] {
        TW_IDENTITY identity{};
        identity.Id = 1;
        return identity;
    }();
};

} // namespace qbk24::testing
