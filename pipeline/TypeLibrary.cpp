#include "pipeline/TypeLibrary.h"

#include "pipeline/RNXCOMCoreIds.h"

namespace {

const plat::InterfaceDesc* const kInterfaces[] = {
    &kIRNXPayloadDesc,
    &kIRNXRasterBandDesc,
    &kIXMLObjDesc,
    &kIRNXPayloadSourceDesc,
    &kIRNXPipelineManagerDesc,
    &kIRNXQueueDesc,
    &kIRNXDestinationDesc,
    &kIRNXDestinationModuleDesc,
    &kITestFreeDesc,
};

const plat::TypeLibraryDesc kLibrary{u"RNXCOMCoreLib", u"RNXCOMCore 1.0 Type Library", LIBID_RNXCOMCoreLib, 1, 0,
                                     kInterfaces};

} // namespace

const plat::TypeLibraryDesc& RNXCOMCoreTypeLibrary() { return kLibrary; }

// Made on first use, so the descriptions in other files are in place.
plat::TypeInfo& PayloadTypeInfo()
{
    static plat::TypeInfo info(kIRNXPayloadDesc);
    return info;
}
plat::TypeInfo& RasterBandTypeInfo()
{
    static plat::TypeInfo info(kIRNXRasterBandDesc);
    return info;
}
plat::TypeInfo& XMLObjTypeInfo()
{
    static plat::TypeInfo info(kIXMLObjDesc);
    return info;
}
plat::TypeInfo& PayloadSourceTypeInfo()
{
    static plat::TypeInfo info(kIRNXPayloadSourceDesc);
    return info;
}
plat::TypeInfo& PipelineManagerTypeInfo()
{
    static plat::TypeInfo info(kIRNXPipelineManagerDesc);
    return info;
}
plat::TypeInfo& QueueTypeInfo()
{
    static plat::TypeInfo info(kIRNXQueueDesc);
    return info;
}
plat::TypeInfo& DestinationTypeInfo()
{
    static plat::TypeInfo info(kIRNXDestinationDesc);
    return info;
}
plat::TypeInfo& DestinationModuleTypeInfo()
{
    static plat::TypeInfo info(kIRNXDestinationModuleDesc);
    return info;
}
plat::TypeInfo& TestFreeTypeInfo()
{
    static plat::TypeInfo info(kITestFreeDesc);
    return info;
}
