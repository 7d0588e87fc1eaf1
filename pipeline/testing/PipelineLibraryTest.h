// A fixture for tests of the pipeline library as its clients use it: a fresh
// system root, COM entered on the test thread, the library loaded from its
// build path and registered there, and its entry points at hand.
#pragma once

#include "pipeline/RNXCOMCoreInterfaces.h"
#include "platform/testing/TempSystemRoot.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

class PipelineLibraryTest : public ::testing::Test {
protected:
    using EntryPoint = HRESULT (*)();
    using GetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, LPVOID*);

    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        m_library = LoadLibraryA(QBK_RNXCOMCORE);
        ASSERT_NE(m_library, nullptr);
        m_register = reinterpret_cast<EntryPoint>(GetProcAddress(m_library, "DllRegisterServer"));
        m_unregister = reinterpret_cast<EntryPoint>(GetProcAddress(m_library, "DllUnregisterServer"));
        m_canUnload = reinterpret_cast<EntryPoint>(GetProcAddress(m_library, "DllCanUnloadNow"));
        m_getClassObject = reinterpret_cast<GetClassObjectFn>(GetProcAddress(m_library, "DllGetClassObject"));
        ASSERT_TRUE(m_register && m_unregister && m_canUnload && m_getClassObject);
        if (RegisterOnSetUp()) {
            ASSERT_EQ(m_register(), S_OK);
        }
    }

    void TearDown() override
    {
        if (m_library)
            FreeLibrary(m_library);
        CoUninitialize();
    }

    virtual bool RegisterOnSetUp() const { return true; }

    // A new object of a registered class, through the registry.
    template <class Interface>
    plat::ComPtr<Interface> Create(REFCLSID clsid, REFIID iid)
    {
        plat::ComPtr<Interface> object;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object.ReleaseAndGetVoidAddress()), S_OK);
        return object;
    }

    plat::testing::TempSystemRoot m_root;
    HMODULE m_library = nullptr;
    EntryPoint m_register = nullptr;
    EntryPoint m_unregister = nullptr;
    EntryPoint m_canUnload = nullptr;
    GetClassObjectFn m_getClassObject = nullptr;
};
