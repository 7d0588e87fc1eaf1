// Internal links between the connections and the activation code.
#pragma once

#include "platform/base/guid.h"
#include "platform/base/unknwn.h"

namespace plat::rpc {

class Connection;

// A class object registered with CoRegisterClassObject in this process:
// AddRef'd for the caller, with the thread that serves it (0: workers).
bool FindRegisteredClass(REFCLSID clsid, IUnknown*& object, DWORD& thread);

// A connection closed: it is no longer offered to new activations.
void ForgetConnection(Connection* connection);

// Whether the server keeps serving the process `processId` however long
// its connection lies idle (see SetPeerKeeper).
bool PeerIsKept(DWORD processId);

} // namespace plat::rpc
