// The ten per-slot classes CRNXHALS_0 .. CRNXHALS_9: the same object under
// ten class identifiers, each with its own registry script. A process
// registers and serves only the class of its own slot.
#pragma once

#include "halservice/com/RNXHALS.h"
#include "platform/windows.h"

#include <string_view>

// The type library that declares the ten coclasses and the interfaces.
inline constexpr GUID kHALTypeLibId = plat::MakeGuid("C6FF644F-B656-4A15-A81A-FA6FBE25D779");

template <int Slot>
class CRNXHALSClass final : public CRNXHALS {
public:
    using CRNXHALS::CRNXHALS;
};

using CRNXHALS_0 = CRNXHALSClass<0>;
using CRNXHALS_1 = CRNXHALSClass<1>;
using CRNXHALS_2 = CRNXHALSClass<2>;
using CRNXHALS_3 = CRNXHALSClass<3>;
using CRNXHALS_4 = CRNXHALSClass<4>;
using CRNXHALS_5 = CRNXHALSClass<5>;
using CRNXHALS_6 = CRNXHALSClass<6>;
using CRNXHALS_7 = CRNXHALSClass<7>;
using CRNXHALS_8 = CRNXHALSClass<8>;
using CRNXHALS_9 = CRNXHALSClass<9>;

// A new class object (IClassFactory) of the slot's class, for
// CoRegisterClassObject; objects it creates belong to the process's
// scanner object. E_INVALIDARG for a slot outside 0-9.
HRESULT GetHALClassObject(int slot, REFIID riid, void** ppv);

// The slot's registry script (UTF-8); the caller replaces %CLSID% (the
// slot's class identifier), %APPID% and %MODULE%. Empty for a slot outside 0-9.
std::string_view HALClassScript(int slot);
