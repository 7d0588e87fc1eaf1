// The program's class provider until the COM classes are wired in: its
// class object answers activation but creates nothing.
#pragma once

#include "halservice/service/ServiceHost.h"

class PendingClassProvider final : public IHALClassProvider {
public:
    IUnknown* CreateClassObject(int slot) override;
    std::string_view ClassScript(int) override { return {}; }
};
