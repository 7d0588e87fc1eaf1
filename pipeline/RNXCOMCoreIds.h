// Identifiers of the pipeline library: its type library, its application
// identifier, its classes and its interfaces. Clients in other deliverables
// use the same values.
#pragma once

#include "platform/base/guid.h"

inline constexpr GUID LIBID_RNXCOMCoreLib = plat::MakeGuid("C66F17CC-1567-41D5-B18C-5F1C608EA02A");
inline constexpr GUID APPID_RNXCOMCore = plat::MakeGuid("68F5E134-8AAB-4C54-B510-673EE0992A31");

// Registered classes.
inline constexpr CLSID CLSID_RNXHALWrap = plat::MakeGuid("890FE0BC-AC15-47EE-AA41-468B364DA524");
inline constexpr CLSID CLSID_RNXRasterBand = plat::MakeGuid("D6522CD9-A866-4E81-8280-DB9F60EAC121");
inline constexpr CLSID CLSID_RNXRBConvert = plat::MakeGuid("B22EABAC-91AB-4225-855E-9DDAFEA036E0");
inline constexpr CLSID CLSID_RNXInterconnection = plat::MakeGuid("90E97CD7-582F-4FAF-B745-1BA9F027A1EE");
inline constexpr CLSID CLSID_XMLObj = plat::MakeGuid("C1D82AF6-313A-4D39-9341-1909B4B7B90E");
inline constexpr CLSID CLSID_RNXPipelineManager = plat::MakeGuid("74B7CBE1-A2CE-40F0-AA13-69CBFA4A108D");
inline constexpr CLSID CLSID_RNXQueue = plat::MakeGuid("28FEC5F2-87B6-487A-9235-41E9F1F9FEF8");
inline constexpr CLSID CLSID_RNXDestination = plat::MakeGuid("C4E1C6B7-D96F-41ED-9F04-3BE1C23EBF46");
inline constexpr CLSID CLSID_RNXDestinationModule = plat::MakeGuid("9B8FB495-FD5B-4E3E-91CB-46BCD5490978");
inline constexpr CLSID CLSID_TestFree = plat::MakeGuid("168DC3AF-1899-4F89-972E-0F02DFFCFB41");

// Classes whose scripts the library carries but never runs.
inline constexpr CLSID CLSID_RNXModule = plat::MakeGuid("1886447A-2532-4B5C-9900-514E91065E61");
inline constexpr CLSID CLSID_RNXPayloadSource = plat::MakeGuid("5584DDC9-7CAF-49CC-8EB3-701957BCDCCD");
inline constexpr CLSID CLSID_RNXSource = plat::MakeGuid("7AF54028-699A-4798-A079-A220C4026F8C");
inline constexpr CLSID CLSID_RNXPayload = plat::MakeGuid("5A2E8618-93AB-43AA-9F07-E62435D98375");
inline constexpr CLSID CLSID_RNXTransform = plat::MakeGuid("3E490BCD-19F9-4904-A3AE-074061B31E15");
inline constexpr CLSID CLSID_Items = plat::MakeGuid("2AE8FF88-83BB-4939-ACFB-CCE31C79CD22");

// The class of the library's merged proxies and stubs, which every
// interface below names as its ProxyStubClsid32.
inline constexpr CLSID CLSID_RNXCOMCoreProxyStub = plat::MakeGuid("A5485D48-707B-4872-B06C-C4CEF3302BBB");

// Interfaces.
inline constexpr IID IID_IRNXRBConvert = plat::MakeGuid("4A4F8D1B-62C7-46F1-8BDC-36D1012BA4F7");
inline constexpr IID IID_IRNXInterconnection = plat::MakeGuid("4696FA82-4B28-4AA9-87D6-1C8FF43C29E8");
inline constexpr IID IID_IRNXDestinationModule = plat::MakeGuid("53C2E7C0-9B7B-4EC5-8223-945D80C7BB0C");
inline constexpr IID IID_IRNXModule = plat::MakeGuid("0BE1B5E5-DA6E-4DC8-8575-EB958C3F29E6");
inline constexpr IID IID_IRNXTransform = plat::MakeGuid("11D5E2FB-15F3-4A2A-B413-F1651B4D752C");
inline constexpr IID IID_IXMLObj = plat::MakeGuid("C0609F3F-21F0-4957-9360-FAA12E8126F6");
inline constexpr IID IID_IRNXHALWrap = plat::MakeGuid("017BFD9B-D3B8-4CD0-A783-1FA45BA1F8CB");
inline constexpr IID IID_IRNXRasterBand = plat::MakeGuid("4BD385F9-8576-4E09-8E92-6C35C370F5CC");
inline constexpr IID IID_IItems = plat::MakeGuid("BFC0B038-52B2-47D5-888F-EBADDA5F599E");
inline constexpr IID IID_IRNXPayload = plat::MakeGuid("B050E665-647E-4C9A-9388-5A60012BCB46");
inline constexpr IID IID_IRNXQueue = plat::MakeGuid("1361413D-80DA-43E4-BE53-EB440F745F2C");
inline constexpr IID IID_IRNXPipelineManager = plat::MakeGuid("76476C8F-67D9-4C66-95AC-55A7F2BB6B07");
inline constexpr IID IID_IRNXPayloadSource = plat::MakeGuid("834BBCCB-840B-4950-A8B1-1BE1A1EEEDE1");
inline constexpr IID IID_ITestFree = plat::MakeGuid("E31520AC-8C34-4471-AC44-452361D04019");
inline constexpr IID IID_IRNXDestination = plat::MakeGuid("206D4FEB-4331-4A13-82D6-7011CE08E413");
