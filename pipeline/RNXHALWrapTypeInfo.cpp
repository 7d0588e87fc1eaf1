// Descriptions of the module interface and of the hardware-service
// wrapper's own interface.
#include "pipeline/RNXCOMCoreInterfaces.h"
#include "pipeline/TypeLibrary.h"

namespace {

using plat::MemberKind;
using plat::ParamDir;

const plat::ParamDesc kConfigure[] = {
    {u"modules", VT_DISPATCH, ParamDir::In},
    {u"modulesSettings", VT_DISPATCH, ParamDir::In},
};
const plat::MemberDesc kModuleMembers[] = {
    {u"Configure", 1, MemberKind::Method, kConfigure,
     [](void* self, VARIANT* a) { return static_cast<IRNXModule*>(self)->Configure(a[0].pdispVal, a[1].pdispVal); }},
};

const plat::ParamDesc kSetCurrentHAL[] = {{u"theHAL", VT_UNKNOWN, ParamDir::In}};
const plat::MemberDesc kHALWrapMembers[] = {
    {u"SetCurrentHAL", 1, MemberKind::Method, kSetCurrentHAL,
     [](void* self, VARIANT* a) { return static_cast<IRNXHALWrap*>(self)->SetCurrentHAL(a[0].punkVal); }},
};

} // namespace

const plat::InterfaceDesc kIRNXModuleDesc{u"IRNXModule", IID_IRNXModule, kModuleMembers};
const plat::InterfaceDesc kIRNXHALWrapDesc{u"IRNXHALWrap", IID_IRNXHALWrap, kHALWrapMembers};
