// Descriptions of the payload-source interface and of the interfaces of the
// empty classes, which have no operations of their own.
#include "pipeline/RNXCOMCoreInterfaces.h"
#include "pipeline/TypeLibrary.h"

namespace {

using plat::MemberKind;
using plat::ParamDir;

const plat::ParamDesc kProduce[] = {{u"thePayload", VT_DISPATCH | VT_BYREF, ParamDir::In}};
const plat::MemberDesc kPayloadSourceMembers[] = {
    {u"Produce", 1, MemberKind::Method, kProduce,
     [](void* self, VARIANT* a) { return static_cast<IRNXPayloadSource*>(self)->Produce(a[0].ppdispVal); }},
};

} // namespace

const plat::InterfaceDesc kIRNXPayloadSourceDesc{u"IRNXPayloadSource", IID_IRNXPayloadSource, kPayloadSourceMembers};
const plat::InterfaceDesc kIRNXPipelineManagerDesc{u"IRNXPipelineManager", IID_IRNXPipelineManager, {}};
const plat::InterfaceDesc kIRNXQueueDesc{u"IRNXQueue", IID_IRNXQueue, {}};
const plat::InterfaceDesc kIRNXDestinationDesc{u"IRNXDestination", IID_IRNXDestination, {}};
const plat::InterfaceDesc kIRNXDestinationModuleDesc{u"IRNXDestinationModule", IID_IRNXDestinationModule, {}};
const plat::InterfaceDesc kITestFreeDesc{u"ITestFree", IID_ITestFree, {}};
