#include "platform/com/Apartment.h"

#include "platform/base/winerror.h"
#include "platform/kernel/Messages.h"

#include <mutex>

namespace plat::com {
namespace {

struct ThreadApartment {
    ApartmentKind kind = ApartmentKind::None;
    int entries = 0;
};

thread_local ThreadApartment t_apartment;

struct ProcessState {
    std::mutex mutex;
    int threadsInCom = 0;
    ApartmentHooks hooks;
};

ProcessState& Process()
{
    // Never destroyed: threads may leave COM during static destruction.
    static auto* state = new ProcessState;
    return *state;
}

} // namespace

ApartmentKind CurrentApartment() { return t_apartment.kind; }

void SetApartmentHooks(const ApartmentHooks& hooks)
{
    std::lock_guard lock(Process().mutex);
    Process().hooks = hooks;
}

ApartmentHooks CurrentHooks()
{
    std::lock_guard lock(Process().mutex);
    return Process().hooks;
}

} // namespace plat::com

using plat::com::ApartmentKind;

HRESULT CoInitialize(LPVOID pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }

HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit)
{
    if (pvReserved)
        return E_INVALIDARG;
    ApartmentKind wanted =
        (dwCoInit & COINIT_APARTMENTTHREADED) ? ApartmentKind::SingleThreaded : ApartmentKind::MultiThreaded;
    auto& apartment = plat::com::t_apartment;
    if (apartment.entries > 0) {
        if (apartment.kind != wanted)
            return RPC_E_CHANGED_MODE;
        ++apartment.entries;
        return S_FALSE;
    }
    apartment.kind = wanted;
    apartment.entries = 1;
    // A single-threaded apartment is served through its thread's queue,
    // which others can post to from the moment the apartment exists.
    if (wanted == ApartmentKind::SingleThreaded)
        plat::EnsureThreadMessageQueue();
    {
        std::lock_guard lock(plat::com::Process().mutex);
        ++plat::com::Process().threadsInCom;
    }
    if (auto entered = plat::com::CurrentHooks().entered)
        entered(wanted);
    return S_OK;
}

void CoUninitialize()
{
    auto& apartment = plat::com::t_apartment;
    if (apartment.entries == 0 || --apartment.entries > 0)
        return;
    ApartmentKind left = apartment.kind;
    if (auto hook = plat::com::CurrentHooks().left)
        hook(left);
    apartment.kind = ApartmentKind::None;
    // The table is emptied under the same lock that counts the threads, so
    // a thread that enters COM meanwhile keeps what it registers; the
    // objects are released outside it (their Release may use COM).
    std::vector<IUnknown*> leftovers;
    {
        std::lock_guard lock(plat::com::Process().mutex);
        if (--plat::com::Process().threadsInCom == 0)
            leftovers = plat::com::TakeGlobalInterfaces();
    }
    for (IUnknown* object : leftovers)
        object->Release();
}
