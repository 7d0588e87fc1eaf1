#include "platform/ui/WindowBackEnd.h"
#include "platform/kernel/Messages.h"
#include "platform/resources/module.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <dlfcn.h>
#include <mutex>
#include <string>

namespace plat::ui {

namespace {

std::atomic<WindowBackEnd*> g_backEnd{nullptr};

// The module sits beside this library (in the build's bin folder, in an
// installation's library folder and beside every installed copy of it).
std::string ModulePath() { return plat::PlatformFolder() + "/" + kWindowBackEndModule; }

WindowBackEnd* Open()
{
    // Kept loaded for the process's life: the toolkit cannot be unloaded.
    void* module = dlopen(ModulePath().c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!module) {
        std::fprintf(stderr, "No window back end: %s\n", dlerror());
        return nullptr;
    }
    auto open = reinterpret_cast<OpenWindowBackEndProc>(dlsym(module, kWindowBackEndEntry));
    return open ? open() : nullptr;
}

} // namespace

WindowBackEnd* ActiveWindowBackEnd() { return g_backEnd.load(); }

WindowBackEnd* LoadWindowBackEnd()
{
    static std::once_flag once;
    std::call_once(once, [] { g_backEnd.store(Open()); });
    return g_backEnd.load();
}

bool PumpMessagesUntil(const std::function<bool()>& done, int limitMs)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (std::chrono::steady_clock::now() < limit) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        if (done())
            return true;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return false;
}

} // namespace plat::ui
