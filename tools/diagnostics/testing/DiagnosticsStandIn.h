// For tests: registers the diagnostics stand-in library as DiagnosticsConfig
// in the current system root and reaches its call hook.
#pragma once

#include "platform/base/winerror.h"
#include "tools/diagnostics/DiagnosticsRegistration.h"
#include "tools/diagnostics/DiagnosticsServer.h"

#include <dlfcn.h>
#include <stdexcept>
#include <string>

namespace diagnostics::testing {

class DiagnosticsStandIn {
public:
    explicit DiagnosticsStandIn(const std::string& libraryPath)
    {
        if (FAILED(RegisterDiagnosticsServer(libraryPath)))
            throw std::runtime_error("cannot register the diagnostics stand-in");
        // The same library COM loads: dlopen counts references to one copy.
        m_library = dlopen(libraryPath.c_str(), RTLD_NOW);
        if (m_library)
            m_setHook = reinterpret_cast<decltype(m_setHook)>(dlsym(m_library, "DiagnosticsSetCallHook"));
        if (!m_setHook) {
            if (m_library)
                dlclose(m_library);
            throw std::runtime_error("cannot reach the diagnostics stand-in's hook");
        }
    }
    ~DiagnosticsStandIn()
    {
        m_setHook(nullptr, nullptr);
        dlclose(m_library);
    }
    DiagnosticsStandIn(const DiagnosticsStandIn&) = delete;
    DiagnosticsStandIn& operator=(const DiagnosticsStandIn&) = delete;

    void SetHook(DiagnosticsCallHook hook, void* context) { m_setHook(hook, context); }

private:
    void* m_library = nullptr;
    void (*m_setHook)(DiagnosticsCallHook, void*) = nullptr;
};

} // namespace diagnostics::testing
