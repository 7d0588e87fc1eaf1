// The coclasses the library's type library declares: the ten registered
// classes, then RNXPayloadSource and Items, which are declared but neither
// registered nor made by the library. Each lists the interfaces its objects
// answer, the default (primary) one first.
#pragma once

#include "pipeline/RNXCOMCoreIds.h"
#include "platform/typelib/TypeDescription.h"

namespace coclasses {

inline constexpr const IID* kRNXHALWrap[] = {&IID_IRNXHALWrap, &IID_IRNXPayloadSource, &IID_IRNXModule};
inline constexpr const IID* kRNXRasterBand[] = {&IID_IRNXRasterBand, &IID_IRNXPayload};
inline constexpr const IID* kRNXRBConvert[] = {&IID_IRNXRBConvert, &IID_IRNXTransform, &IID_IRNXPayloadSource,
                                               &IID_IRNXModule};
inline constexpr const IID* kRNXInterconnection[] = {&IID_IRNXInterconnection};
inline constexpr const IID* kXMLObj[] = {&IID_IXMLObj};
inline constexpr const IID* kRNXPipelineManager[] = {&IID_IRNXPipelineManager};
inline constexpr const IID* kRNXQueue[] = {&IID_IRNXQueue, &IID_IRNXPayloadSource};
inline constexpr const IID* kRNXDestination[] = {&IID_IRNXDestination};
inline constexpr const IID* kRNXDestinationModule[] = {&IID_IRNXDestinationModule};
inline constexpr const IID* kTestFree[] = {&IID_ITestFree};
inline constexpr const IID* kRNXPayloadSource[] = {&IID_IRNXPayloadSource};
inline constexpr const IID* kItems[] = {&IID_IItems};

} // namespace coclasses

inline constexpr plat::CoClassDesc kRNXCOMCoreCoClasses[] = {
    {u"RNXHALWrap", CLSID_RNXHALWrap, coclasses::kRNXHALWrap},
    {u"RNXRasterBand", CLSID_RNXRasterBand, coclasses::kRNXRasterBand},
    {u"RNXRBConvert", CLSID_RNXRBConvert, coclasses::kRNXRBConvert},
    {u"RNXInterconnection", CLSID_RNXInterconnection, coclasses::kRNXInterconnection},
    {u"XMLObj", CLSID_XMLObj, coclasses::kXMLObj},
    {u"RNXPipelineManager", CLSID_RNXPipelineManager, coclasses::kRNXPipelineManager},
    {u"RNXQueue", CLSID_RNXQueue, coclasses::kRNXQueue},
    {u"RNXDestination", CLSID_RNXDestination, coclasses::kRNXDestination},
    {u"RNXDestinationModule", CLSID_RNXDestinationModule, coclasses::kRNXDestinationModule},
    {u"TestFree", CLSID_TestFree, coclasses::kTestFree},
    {u"RNXPayloadSource", CLSID_RNXPayloadSource, coclasses::kRNXPayloadSource},
    {u"Items", CLSID_Items, coclasses::kItems},
};
