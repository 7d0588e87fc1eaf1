// Description of IXMLObj: DISPIDs from 0x60020000 upwards in declaration
// order.
#include "pipeline/RNXCOMCoreInterfaces.h"
#include "pipeline/TypeLibrary.h"

namespace {

using plat::MemberKind;
using plat::ParamDir;

IXMLObj* Xml(void* self) { return static_cast<IXMLObj*>(self); }

constexpr DISPID kFirst = 0x60020000;
constexpr std::span<const plat::ParamDesc> kNoParams;

const plat::ParamDesc kParseXML[] = {{u"bstrXml", VT_BSTR, ParamDir::In}};
const plat::ParamDesc kGenerateXML[] = {{u"bstrXml", VT_BSTR, ParamDir::Out}};
const plat::ParamDesc kGenerateXMLFromContext[] = {{u"bstrXml", VT_BSTR, ParamDir::Out}};
const plat::ParamDesc kSetContext[] = {{u"pbstrPath", VT_BSTR, ParamDir::In}};
const plat::ParamDesc kGetCurrentNodeName[] = {{u"pbstrName", VT_BSTR, ParamDir::Out}};
const plat::ParamDesc kCreateNode[] = {{u"bstrName", VT_BSTR, ParamDir::In}};
const plat::ParamDesc kSetAttribute[] = {{u"bstrName", VT_BSTR, ParamDir::In}, {u"bstrValue", VT_BSTR, ParamDir::In}};
const plat::ParamDesc kGetAttribute[] = {{u"bstrName", VT_BSTR, ParamDir::In},
                                         {u"bstrDefault", VT_BSTR, ParamDir::In},
                                         {u"pbstrValue", VT_BSTR, ParamDir::Out}};
const plat::ParamDesc kSetAttributeInt[] = {{u"bstrName", VT_BSTR, ParamDir::In}, {u"nValue", VT_INT, ParamDir::In}};
const plat::ParamDesc kGetAttributeInt[] = {
    {u"bstrName", VT_BSTR, ParamDir::In}, {u"nDefault", VT_INT, ParamDir::In}, {u"nValue", VT_INT, ParamDir::Out}};
const plat::ParamDesc kGetAttributeLength[] = {{u"bstrName", VT_BSTR, ParamDir::In},
                                               {u"nLength", VT_INT, ParamDir::Out}};
const plat::ParamDesc kRemoveAttribute[] = {{u"bstrName", VT_BSTR, ParamDir::In}};
const plat::ParamDesc kSetStringByName[] = {{u"bstrName", VT_BSTR, ParamDir::In},
                                            {u"bstrValue", VT_BSTR, ParamDir::In}};
const plat::ParamDesc kSetIntByName[] = {{u"bstrName", VT_BSTR, ParamDir::In}, {u"nValue", VT_INT, ParamDir::In}};
const plat::ParamDesc kGetStringByName[] = {{u"bstrName", VT_BSTR, ParamDir::In},
                                            {u"bstrDefault", VT_BSTR, ParamDir::In},
                                            {u"pbstrValue", VT_BSTR, ParamDir::Out}};
const plat::ParamDesc kGetStringLengthByName[] = {{u"bstrName", VT_BSTR, ParamDir::In},
                                                  {u"nLen", VT_INT, ParamDir::Out}};
const plat::ParamDesc kGetIntByName[] = {
    {u"bstrName", VT_BSTR, ParamDir::In}, {u"nDefault", VT_INT, ParamDir::In}, {u"nValue", VT_INT, ParamDir::Out}};
const plat::ParamDesc kSaveToFile[] = {{u"bstrFilePath", VT_BSTR, ParamDir::In}};
const plat::ParamDesc kLoadFromFile[] = {{u"bstrFilePath", VT_BSTR, ParamDir::In}};
const plat::ParamDesc kImportNode[] = {{u"bstrNode", VT_BSTR, ParamDir::In}};
const plat::ParamDesc kReplaceNode[] = {{u"bstrNode", VT_BSTR, ParamDir::In}};
const plat::ParamDesc kGetCurrentNodeNameLength[] = {{u"pnLen", VT_INT, ParamDir::Out}};
const plat::ParamDesc kSetString[] = {{u"bstrValue", VT_BSTR, ParamDir::In}};
const plat::ParamDesc kSetInt[] = {{u"nValue", VT_INT, ParamDir::In}};
const plat::ParamDesc kGetString[] = {{u"bstrDefault", VT_BSTR, ParamDir::In}, {u"pbstrValue", VT_BSTR, ParamDir::Out}};
const plat::ParamDesc kGetStringLength[] = {{u"nLen", VT_INT, ParamDir::Out}};
const plat::ParamDesc kGetInt[] = {{u"nDefault", VT_INT, ParamDir::In}, {u"nValue", VT_INT, ParamDir::Out}};

const plat::MemberDesc kMembers[] = {
    {u"Initialize", kFirst + 0, MemberKind::Method, kNoParams, [](void* s, VARIANT*) { return Xml(s)->Initialize(); }},
    {u"ParseXML", kFirst + 1, MemberKind::Method, kParseXML,
     [](void* s, VARIANT* a) { return Xml(s)->ParseXML(a[0].bstrVal); }},
    {u"GenerateXML", kFirst + 2, MemberKind::Method, kGenerateXML,
     [](void* s, VARIANT* a) { return Xml(s)->GenerateXML(&a[0].bstrVal); }},
    {u"GenerateXMLFromContext", kFirst + 3, MemberKind::Method, kGenerateXMLFromContext,
     [](void* s, VARIANT* a) { return Xml(s)->GenerateXMLFromContext(&a[0].bstrVal); }},
    {u"SetContext", kFirst + 4, MemberKind::Method, kSetContext,
     [](void* s, VARIANT* a) { return Xml(s)->SetContext(a[0].bstrVal); }},
    {u"SeekRootNode", kFirst + 5, MemberKind::Method, kNoParams,
     [](void* s, VARIANT*) { return Xml(s)->SeekRootNode(); }},
    {u"SeekFirstChild", kFirst + 6, MemberKind::Method, kNoParams,
     [](void* s, VARIANT*) { return Xml(s)->SeekFirstChild(); }},
    {u"SeekNextSibling", kFirst + 7, MemberKind::Method, kNoParams,
     [](void* s, VARIANT*) { return Xml(s)->SeekNextSibling(); }},
    {u"SeekNextMatch", kFirst + 8, MemberKind::Method, kNoParams,
     [](void* s, VARIANT*) { return Xml(s)->SeekNextMatch(); }},
    {u"GetCurrentNodeName", kFirst + 9, MemberKind::Method, kGetCurrentNodeName,
     [](void* s, VARIANT* a) { return Xml(s)->GetCurrentNodeName(&a[0].bstrVal); }},
    {u"CreateNode", kFirst + 10, MemberKind::Method, kCreateNode,
     [](void* s, VARIANT* a) { return Xml(s)->CreateNode(a[0].bstrVal); }},
    {u"RemoveNode", kFirst + 11, MemberKind::Method, kNoParams, [](void* s, VARIANT*) { return Xml(s)->RemoveNode(); }},
    {u"SetAttribute", kFirst + 12, MemberKind::Method, kSetAttribute,
     [](void* s, VARIANT* a) { return Xml(s)->SetAttribute(a[0].bstrVal, a[1].bstrVal); }},
    {u"GetAttribute", kFirst + 13, MemberKind::Method, kGetAttribute,
     [](void* s, VARIANT* a) { return Xml(s)->GetAttribute(a[0].bstrVal, a[1].bstrVal, &a[2].bstrVal); }},
    {u"SetAttributeInt", kFirst + 14, MemberKind::Method, kSetAttributeInt,
     [](void* s, VARIANT* a) { return Xml(s)->SetAttributeInt(a[0].bstrVal, a[1].intVal); }},
    {u"GetAttributeInt", kFirst + 15, MemberKind::Method, kGetAttributeInt,
     [](void* s, VARIANT* a) { return Xml(s)->GetAttributeInt(a[0].bstrVal, a[1].intVal, &a[2].intVal); }},
    {u"GetAttributeLength", kFirst + 16, MemberKind::Method, kGetAttributeLength,
     [](void* s, VARIANT* a) { return Xml(s)->GetAttributeLength(a[0].bstrVal, &a[1].intVal); }},
    {u"RemoveAttribute", kFirst + 17, MemberKind::Method, kRemoveAttribute,
     [](void* s, VARIANT* a) { return Xml(s)->RemoveAttribute(a[0].bstrVal); }},
    {u"SetStringByName", kFirst + 18, MemberKind::Method, kSetStringByName,
     [](void* s, VARIANT* a) { return Xml(s)->SetStringByName(a[0].bstrVal, a[1].bstrVal); }},
    {u"SetIntByName", kFirst + 19, MemberKind::Method, kSetIntByName,
     [](void* s, VARIANT* a) { return Xml(s)->SetIntByName(a[0].bstrVal, a[1].intVal); }},
    {u"GetStringByName", kFirst + 20, MemberKind::Method, kGetStringByName,
     [](void* s, VARIANT* a) { return Xml(s)->GetStringByName(a[0].bstrVal, a[1].bstrVal, &a[2].bstrVal); }},
    {u"GetStringLengthByName", kFirst + 21, MemberKind::Method, kGetStringLengthByName,
     [](void* s, VARIANT* a) { return Xml(s)->GetStringLengthByName(a[0].bstrVal, &a[1].intVal); }},
    {u"GetIntByName", kFirst + 22, MemberKind::Method, kGetIntByName,
     [](void* s, VARIANT* a) { return Xml(s)->GetIntByName(a[0].bstrVal, a[1].intVal, &a[2].intVal); }},
    {u"SaveToFile", kFirst + 23, MemberKind::Method, kSaveToFile,
     [](void* s, VARIANT* a) { return Xml(s)->SaveToFile(a[0].bstrVal); }},
    {u"LoadFromFile", kFirst + 24, MemberKind::Method, kLoadFromFile,
     [](void* s, VARIANT* a) { return Xml(s)->LoadFromFile(a[0].bstrVal); }},
    {u"DumpContext", kFirst + 25, MemberKind::Method, kNoParams,
     [](void* s, VARIANT*) { return Xml(s)->DumpContext(); }},
    {u"ImportNode", kFirst + 26, MemberKind::Method, kImportNode,
     [](void* s, VARIANT* a) { return Xml(s)->ImportNode(a[0].bstrVal); }},
    {u"ReplaceNode", kFirst + 27, MemberKind::Method, kReplaceNode,
     [](void* s, VARIANT* a) { return Xml(s)->ReplaceNode(a[0].bstrVal); }},
    {u"SeekParent", kFirst + 28, MemberKind::Method, kNoParams, [](void* s, VARIANT*) { return Xml(s)->SeekParent(); }},
    {u"GetCurrentNodeNameLength", kFirst + 29, MemberKind::Method, kGetCurrentNodeNameLength,
     [](void* s, VARIANT* a) { return Xml(s)->GetCurrentNodeNameLength(&a[0].intVal); }},
    {u"SetString", kFirst + 30, MemberKind::Method, kSetString,
     [](void* s, VARIANT* a) { return Xml(s)->SetString(a[0].bstrVal); }},
    {u"SetInt", kFirst + 31, MemberKind::Method, kSetInt,
     [](void* s, VARIANT* a) { return Xml(s)->SetInt(a[0].intVal); }},
    {u"GetString", kFirst + 32, MemberKind::Method, kGetString,
     [](void* s, VARIANT* a) { return Xml(s)->GetString(a[0].bstrVal, &a[1].bstrVal); }},
    {u"GetStringLength", kFirst + 33, MemberKind::Method, kGetStringLength,
     [](void* s, VARIANT* a) { return Xml(s)->GetStringLength(&a[0].intVal); }},
    {u"GetInt", kFirst + 34, MemberKind::Method, kGetInt,
     [](void* s, VARIANT* a) { return Xml(s)->GetInt(a[0].intVal, &a[1].intVal); }},
};

} // namespace

const plat::InterfaceDesc kIXMLObjDesc{u"IXMLObj", IID_IXMLObj, kMembers};
