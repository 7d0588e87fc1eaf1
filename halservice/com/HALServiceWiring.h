// The per-slot classes as the service module takes them: its class
// registration and registry scripts come from CHALClassProvider. The
// module reaches the process's CScannerWrap through ScannerSessionAdapter
// (halservice/service).
#pragma once

#include "halservice/service/ServiceHost.h"

class CHALClassProvider final : public IHALClassProvider {
public:
    IUnknown* CreateClassObject(int slot) override;
    std::string_view ClassScript(int slot) override;
};
