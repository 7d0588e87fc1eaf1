#include "platform/com/Apartment.h"
#include "platform/com/ComTesting.h"
#include "platform/com/GlobalInterfaceTable.h"
#include "platform/com/objbase.h"
#include "platform/windows.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

using plat::com::ApartmentKind;

struct Step {
    enum { Init, Uninit } call;
    DWORD model;
    HRESULT expected;
    ApartmentKind after;
};

void RunSteps(std::initializer_list<Step> steps)
{
    int index = 0;
    for (const Step& step : steps) {
        if (step.call == Step::Init)
            EXPECT_EQ(CoInitializeEx(nullptr, step.model), step.expected) << "step " << index;
        else
            CoUninitialize();
        EXPECT_EQ(plat::com::CurrentApartment(), step.after) << "step " << index;
        ++index;
    }
}

// Each sequence runs on a fresh thread, so no state leaks between them.
TEST(Apartment, EntriesAreCountedPerThreadAndModel)
{
    const auto STA = COINIT_APARTMENTTHREADED;
    const auto MTA = COINIT_MULTITHREADED;
    const auto Init = Step::Init;
    const auto Uninit = Step::Uninit;
    std::thread([&] {
        RunSteps({
            {Uninit, 0, S_OK, ApartmentKind::None}, // unbalanced: ignored
            {Init, STA, S_OK, ApartmentKind::SingleThreaded},
            {Init, STA | COINIT_DISABLE_OLE1DDE, S_FALSE, ApartmentKind::SingleThreaded},
            {Init, MTA, RPC_E_CHANGED_MODE, ApartmentKind::SingleThreaded},
            {Uninit, 0, S_OK, ApartmentKind::SingleThreaded},
            {Uninit, 0, S_OK, ApartmentKind::None}, // the failed entry was not counted
            {Init, MTA, S_OK, ApartmentKind::MultiThreaded},
            {Init, STA, RPC_E_CHANGED_MODE, ApartmentKind::MultiThreaded},
            {Uninit, 0, S_OK, ApartmentKind::None},
        });
    }).join();
    std::thread([] {
        EXPECT_EQ(CoInitialize(nullptr), S_OK);
        EXPECT_EQ(plat::com::CurrentApartment(), ApartmentKind::SingleThreaded);
        int reserved = 0;
        EXPECT_EQ(CoInitializeEx(&reserved, COINIT_APARTMENTTHREADED), E_INVALIDARG);
        CoUninitialize();
    }).join();
}

TEST(Apartment, ThreadsHaveTheirOwnApartments)
{
    plat::testing::ComScope com(COINIT_APARTMENTTHREADED);
    std::thread([] {
        EXPECT_EQ(plat::com::CurrentApartment(), ApartmentKind::None);
        EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        CoUninitialize();
    }).join();
    EXPECT_EQ(plat::com::CurrentApartment(), ApartmentKind::SingleThreaded);
}

TEST(Apartment, CallsOutsideComAreRefused)
{
    std::thread([] {
        void* object = &object;
        EXPECT_EQ(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IGlobalInterfaceTable, &object),
                  CO_E_NOTINITIALIZED);
        EXPECT_EQ(object, nullptr);
        EXPECT_EQ(CoGetClassObject(CLSID_TestPlain, CLSCTX_ALL, nullptr, IID_IClassFactory, &object),
                  CO_E_NOTINITIALIZED);
    }).join();
}

// Posting to a thread needs its queue: a single-threaded apartment has one
// from its first CoInitialize, a multithreaded one gets none.
TEST(Apartment, SingleThreadedApartmentCanBePostedToAtOnce)
{
    struct Case {
        DWORD model;
        BOOL postable;
    };
    for (const Case& c : {Case{COINIT_APARTMENTTHREADED, TRUE}, Case{COINIT_MULTITHREADED, FALSE}}) {
        SCOPED_TRACE(c.model);
        HANDLE entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        HANDLE posted = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::atomic<DWORD> id{0};
        std::thread worker([&] {
            CoInitializeEx(nullptr, c.model);
            id = GetCurrentThreadId();
            SetEvent(entered);
            WaitForSingleObject(posted, INFINITE);
            CoUninitialize();
        });
        WaitForSingleObject(entered, INFINITE);
        EXPECT_EQ(PostThreadMessageW(id, WM_USER, 0, 0), c.postable);
        SetEvent(posted);
        worker.join();
        CloseHandle(entered);
        CloseHandle(posted);
    }
}

int g_entered = 0;
int g_left = 0;

TEST(Apartment, HooksSeeEntryAndExit)
{
    g_entered = 0;
    g_left = 0;
    const plat::com::ApartmentHooks installed = plat::com::CurrentHooks();
    plat::com::ApartmentHooks hooks;
    hooks.entered = [](ApartmentKind kind) { g_entered += kind == ApartmentKind::SingleThreaded ? 1 : 100; };
    hooks.left = [](ApartmentKind kind) { g_left += kind == ApartmentKind::SingleThreaded ? 1 : 100; };
    plat::com::SetApartmentHooks(hooks);
    std::thread([] {
        CoInitialize(nullptr);
        CoInitialize(nullptr);
        CoUninitialize();
        EXPECT_EQ(g_left, 0);
        CoUninitialize();
    }).join();
    plat::com::SetApartmentHooks(installed);
    EXPECT_EQ(g_entered, 1);
    EXPECT_EQ(g_left, 1);
}

} // namespace
