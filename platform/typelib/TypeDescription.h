// Plain data that describes a dual interface the way a type library does:
// its name and IID, and for each member its name, DISPID, kind and
// parameters. The interface's author also supplies, per member, an adapter
// that calls the member on an interface pointer with arguments already
// converted to their declared types; that is how late-bound calls reach the
// vtable without assembly thunks.
//
//     const plat::ParamDesc kPutDpi[] = {{u"newVal", VT_I4, plat::ParamDir::In}};
//     const plat::MemberDesc kMembers[] = {
//         {u"Dpi", 10, plat::MemberKind::PropertyPut, kPutDpi,
//          [](void* self, VARIANT* args) { return static_cast<IBand*>(self)->put_Dpi(args[0].lVal); }},
//     };
#pragma once

#include "platform/base/guid.h"
#include "platform/base/winerror.h"
#include "platform/oleauto/dispatch.h"

#include <span>

namespace plat {

enum class ParamDir { In, Out };

// A parameter: its name (for GetIDsOfNames), its type as a VARTYPE (VT_I4,
// VT_INT, VT_BSTR, VT_DISPATCH, VT_UNKNOWN, or a VT_BYREF form for raw
// in-process pointers) and its direction. An Out parameter is a pointer to
// the declared type in the member's signature.
struct ParamDesc {
    const WCHAR* name;
    VARTYPE type;
    ParamDir dir;
};

// The INVOKEKIND values.
enum class MemberKind : WORD { Method = 1, PropertyGet = 2, PropertyPut = 4 };

// Calls the member on `self` (the interface pointer given to Invoke) with one
// VARIANT per declared parameter, in declaration order: an In argument holds
// its value in the declared type (borrowed: the adapter must not free it);
// an Out argument is an empty value of the declared type whose field the
// adapter passes by address.
using MemberAdapter = HRESULT (*)(void* self, VARIANT* args);

struct MemberDesc {
    const WCHAR* name;
    DISPID dispid;
    MemberKind kind;
    std::span<const ParamDesc> params;
    MemberAdapter call;
};

struct InterfaceDesc {
    const WCHAR* name;
    IID iid;
    std::span<const MemberDesc> members;
};

// A coclass: a class the type library declares, with the interfaces its
// objects answer; the first is the default one (what IDispatch gives).
struct CoClassDesc {
    const WCHAR* name;
    CLSID clsid;
    std::span<const IID* const> interfaces;
};

// A type library: its identity and names (what registration needs), the
// interfaces it describes and the coclasses it declares.
struct TypeLibraryDesc {
    const WCHAR* name;       // "RNXCOMCoreLib"
    const WCHAR* helpString; // the description shown under the version key
    GUID libid;
    WORD majorVersion;
    WORD minorVersion;
    std::span<const InterfaceDesc* const> interfaces;
    std::span<const CoClassDesc> coclasses;
};

// The most parameters a member may declare.
inline constexpr size_t kMaxMemberParams = 16;

} // namespace plat
