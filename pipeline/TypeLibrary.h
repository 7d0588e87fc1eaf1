// The library's type library RNXCOMCoreLib: the descriptions of its 15 dual
// interfaces and its 12 coclasses (CoClasses.h), the type information each
// object's IDispatch (and each proxy's) is served from, and what
// registration needs.
#pragma once

#include "platform/windows.h"

extern const plat::InterfaceDesc kIRNXPayloadDesc;
extern const plat::InterfaceDesc kIRNXRasterBandDesc;
extern const plat::InterfaceDesc kIXMLObjDesc;
extern const plat::InterfaceDesc kIRNXPayloadSourceDesc;
extern const plat::InterfaceDesc kIRNXPipelineManagerDesc;
extern const plat::InterfaceDesc kIRNXQueueDesc;
extern const plat::InterfaceDesc kIRNXDestinationDesc;
extern const plat::InterfaceDesc kIRNXDestinationModuleDesc;
extern const plat::InterfaceDesc kITestFreeDesc;
extern const plat::InterfaceDesc kIRNXModuleDesc;
extern const plat::InterfaceDesc kIRNXHALWrapDesc;
extern const plat::InterfaceDesc kIRNXInterconnectionDesc;
extern const plat::InterfaceDesc kIRNXTransformDesc;
extern const plat::InterfaceDesc kIRNXRBConvertDesc;
extern const plat::InterfaceDesc kIItemsDesc;

const plat::TypeLibraryDesc& RNXCOMCoreTypeLibrary();

// One type information object per interface, for the library's lifetime.
plat::TypeInfo& PayloadTypeInfo();
plat::TypeInfo& RasterBandTypeInfo();
plat::TypeInfo& XMLObjTypeInfo();
plat::TypeInfo& PayloadSourceTypeInfo();
plat::TypeInfo& PipelineManagerTypeInfo();
plat::TypeInfo& QueueTypeInfo();
plat::TypeInfo& DestinationTypeInfo();
plat::TypeInfo& DestinationModuleTypeInfo();
plat::TypeInfo& TestFreeTypeInfo();
plat::TypeInfo& ModuleTypeInfo();
plat::TypeInfo& HALWrapTypeInfo();
plat::TypeInfo& InterconnectionTypeInfo();
plat::TypeInfo& TransformTypeInfo();
plat::TypeInfo& RBConvertTypeInfo();
plat::TypeInfo& ItemsTypeInfo();
