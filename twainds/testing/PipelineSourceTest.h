// A scanner data source opened by an application, with a hardware service
// of the test's own and the pipeline library registered in the process, so
// that an acquisition builds its real pipeline in process. The service
// keeps the settings document it is configured with and answers a scan
// area of its own.
#pragma once

#include "twainds/testing/OpenSourceTest.h"

namespace qbk24::testing {

class PipelineSourceTest : public OpenSourceTest {
protected:
    void SetUp() override
    {
        OpenSourceTest::SetUp();
        if (HasFatalFailure())
            return;
        m_pipeline = LoadLibraryA(QBK_RNXCOMCORE);
        ASSERT_NE(m_pipeline, nullptr);
        using EntryPoint = HRESULT (*)();
        auto registerServer = reinterpret_cast<EntryPoint>(GetProcAddress(m_pipeline, "DllRegisterServer"));
        ASSERT_NE(registerServer, nullptr);
        ASSERT_EQ(registerServer(), S_OK);
        m_hal.ConfigOutput = {{u"Width", 192}, {u"Height", 300}, {u"BytesPerLine", 192}};
    }

    void TearDown() override
    {
        OpenSourceTest::TearDown();
        // The pipeline's objects go before their library.
        m_source.ReleasePipeline();
        if (m_pipeline)
            FreeLibrary(m_pipeline);
    }

    // MSG_ENABLEDS without a dialog: the acquisition starts at once.
    TW_UINT16 Enable()
    {
        TW_USERINTERFACE ui{};
        return static_cast<TW_UINT16>(m_source.Dispatch(&m_app, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui));
    }

    // Back to state 4 from wherever the acquisition stands.
    void EndAcquisition()
    {
        TW_PENDINGXFERS pending{};
        if (m_source.GetState() == 7)
            m_source.Dispatch(&m_app, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending);
        if (m_source.GetState() == 6)
            m_source.Dispatch(&m_app, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
        TW_USERINTERFACE ui{};
        if (m_source.GetState() == 5) {
            EXPECT_EQ(TWRC_SUCCESS, m_source.Dispatch(&m_app, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui));
        }
    }

    HMODULE m_pipeline = nullptr;
};

} // namespace qbk24::testing
