// Descriptions of the interconnection's interface and of the raster
// converter's own interfaces, which have no operations.
#include "pipeline/RNXCOMCoreInterfaces.h"
#include "pipeline/TypeLibrary.h"

namespace {

using plat::MemberKind;
using plat::ParamDir;

const plat::ParamDesc kConnect[] = {{u"precursor", VT_DISPATCH, ParamDir::In}};
const plat::ParamDesc kObtain[] = {{u"thePayload", VT_DISPATCH | VT_BYREF, ParamDir::In}};
const plat::MemberDesc kInterconnectionMembers[] = {
    {u"Connect", 1, MemberKind::Method, kConnect,
     [](void* self, VARIANT* a) { return static_cast<IRNXInterconnection*>(self)->Connect(a[0].pdispVal); }},
    {u"Obtain", 2, MemberKind::Method, kObtain,
     [](void* self, VARIANT* a) { return static_cast<IRNXInterconnection*>(self)->Obtain(a[0].ppdispVal); }},
};

} // namespace

const plat::InterfaceDesc kIRNXInterconnectionDesc{u"IRNXInterconnection", IID_IRNXInterconnection,
                                                   kInterconnectionMembers};
const plat::InterfaceDesc kIRNXTransformDesc{u"IRNXTransform", IID_IRNXTransform, {}};
const plat::InterfaceDesc kIRNXRBConvertDesc{u"IRNXRBConvert", IID_IRNXRBConvert, {}};
