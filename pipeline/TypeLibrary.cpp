#include "pipeline/TypeLibrary.h"

#include "pipeline/CoClasses.h"
#include "pipeline/RNXCOMCoreIds.h"
#include "pipeline/RNXCOMCoreModule.h"

namespace {

const plat::InterfaceDesc* const kInterfaces[] = {
    &kIRNXPayloadDesc,         &kIRNXRasterBandDesc, &kIXMLObjDesc,         &kIRNXPayloadSourceDesc,
    &kIRNXPipelineManagerDesc, &kIRNXQueueDesc,      &kIRNXDestinationDesc, &kIRNXDestinationModuleDesc,
    &kITestFreeDesc,           &kIRNXModuleDesc,     &kIRNXHALWrapDesc,     &kIRNXInterconnectionDesc,
    &kIRNXTransformDesc,       &kIRNXRBConvertDesc,  &kIItemsDesc,
};

const plat::TypeLibraryDesc kLibrary{
    u"RNXCOMCoreLib", u"RNXCOMCore 1.0 Type Library", LIBID_RNXCOMCoreLib, 1, 0, kInterfaces, kRNXCOMCoreCoClasses};

} // namespace

const plat::TypeLibraryDesc& RNXCOMCoreTypeLibrary() { return kLibrary; }

// Made on first use, so the descriptions in other files are in place; a
// type information handed out keeps the library loaded.
plat::TypeInfo& PayloadTypeInfo()
{
    static plat::TypeInfo info(kIRNXPayloadDesc, &RNXCOMCoreModule());
    return info;
}
plat::TypeInfo& RasterBandTypeInfo()
{
    static plat::TypeInfo info(kIRNXRasterBandDesc, &RNXCOMCoreModule());
    return info;
}
plat::TypeInfo& XMLObjTypeInfo()
{
    static plat::TypeInfo info(kIXMLObjDesc, &RNXCOMCoreModule());
    return info;
}
plat::TypeInfo& PayloadSourceTypeInfo()
{
    static plat::TypeInfo info(kIRNXPayloadSourceDesc, &RNXCOMCoreModule());
    return info;
}
plat::TypeInfo& PipelineManagerTypeInfo()
{
    static plat::TypeInfo info(kIRNXPipelineManagerDesc, &RNXCOMCoreModule());
    return info;
}
plat::TypeInfo& QueueTypeInfo()
{
    static plat::TypeInfo info(kIRNXQueueDesc, &RNXCOMCoreModule());
    return info;
}
plat::TypeInfo& DestinationTypeInfo()
{
    static plat::TypeInfo info(kIRNXDestinationDesc, &RNXCOMCoreModule());
    return info;
}
plat::TypeInfo& DestinationModuleTypeInfo()
{
    static plat::TypeInfo info(kIRNXDestinationModuleDesc, &RNXCOMCoreModule());
    return info;
}
plat::TypeInfo& TestFreeTypeInfo()
{
    static plat::TypeInfo info(kITestFreeDesc, &RNXCOMCoreModule());
    return info;
}
plat::TypeInfo& ModuleTypeInfo()
{
    static plat::TypeInfo info(kIRNXModuleDesc, &RNXCOMCoreModule());
    return info;
}
plat::TypeInfo& HALWrapTypeInfo()
{
    static plat::TypeInfo info(kIRNXHALWrapDesc, &RNXCOMCoreModule());
    return info;
}
plat::TypeInfo& InterconnectionTypeInfo()
{
    static plat::TypeInfo info(kIRNXInterconnectionDesc, &RNXCOMCoreModule());
    return info;
}
plat::TypeInfo& TransformTypeInfo()
{
    static plat::TypeInfo info(kIRNXTransformDesc, &RNXCOMCoreModule());
    return info;
}
plat::TypeInfo& RBConvertTypeInfo()
{
    static plat::TypeInfo info(kIRNXRBConvertDesc, &RNXCOMCoreModule());
    return info;
}
plat::TypeInfo& ItemsTypeInfo()
{
    static plat::TypeInfo info(kIItemsDesc, &RNXCOMCoreModule());
    return info;
}
