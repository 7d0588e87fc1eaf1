#include "pipeline/testing/PipelineLibraryTest.h"

#include <functional>
#include <string>

namespace {

constexpr HRESULT kNoStore = static_cast<HRESULT>(0x80000005u);

const char16_t kSource[] = u"<scannerSource>"
                           u"<config><Width>2550</Width><scanner/><mode kind=\"duplex\" pages=\"12\"/></config>"
                           u"<output/>"
                           u"</scannerSource>";

class XMLObjTest : public PipelineLibraryTest {
protected:
    void SetUp() override
    {
        PipelineLibraryTest::SetUp();
        if (HasFatalFailure())
            return;
        xml = Create<IXMLObj>(CLSID_XMLObj, IID_IXMLObj);
        ASSERT_TRUE(xml);
    }
    void TearDown() override
    {
        xml.Reset();
        PipelineLibraryTest::TearDown();
    }

    void Load(const char16_t* text)
    {
        ASSERT_EQ(xml->Initialize(), S_OK);
        plat::ScopedBstr source(text);
        ASSERT_EQ(xml->ParseXML(source.Get()), S_OK);
    }

    plat::ComPtr<IXMLObj> xml;
};

BSTR B(const plat::ScopedBstr& s) { return s.Get(); }

TEST_F(XMLObjTest, EveryOperationButInitializeNeedsAStore)
{
    plat::ScopedBstr name(u"config"), text(u"<a/>"), out;
    INT value = 0;
    const std::pair<const char*, std::function<HRESULT(IXMLObj*)>> operations[] = {
        {"ParseXML", [&](IXMLObj* x) { return x->ParseXML(B(text)); }},
        {"GenerateXML", [&](IXMLObj* x) { return x->GenerateXML(out.Out()); }},
        {"GenerateXMLFromContext", [&](IXMLObj* x) { return x->GenerateXMLFromContext(out.Out()); }},
        {"SetContext", [&](IXMLObj* x) { return x->SetContext(B(name)); }},
        {"SeekRootNode", [&](IXMLObj* x) { return x->SeekRootNode(); }},
        {"SeekFirstChild", [&](IXMLObj* x) { return x->SeekFirstChild(); }},
        {"SeekNextSibling", [&](IXMLObj* x) { return x->SeekNextSibling(); }},
        {"SeekNextMatch", [&](IXMLObj* x) { return x->SeekNextMatch(); }},
        {"GetCurrentNodeName", [&](IXMLObj* x) { return x->GetCurrentNodeName(out.Out()); }},
        {"CreateNode", [&](IXMLObj* x) { return x->CreateNode(B(name)); }},
        {"RemoveNode", [&](IXMLObj* x) { return x->RemoveNode(); }},
        {"SetAttribute", [&](IXMLObj* x) { return x->SetAttribute(B(name), B(name)); }},
        {"GetAttribute", [&](IXMLObj* x) { return x->GetAttribute(B(name), B(name), out.Out()); }},
        {"SetAttributeInt", [&](IXMLObj* x) { return x->SetAttributeInt(B(name), 1); }},
        {"GetAttributeInt", [&](IXMLObj* x) { return x->GetAttributeInt(B(name), 1, &value); }},
        {"GetAttributeLength", [&](IXMLObj* x) { return x->GetAttributeLength(B(name), &value); }},
        {"RemoveAttribute", [&](IXMLObj* x) { return x->RemoveAttribute(B(name)); }},
        {"SetStringByName", [&](IXMLObj* x) { return x->SetStringByName(B(name), B(name)); }},
        {"SetIntByName", [&](IXMLObj* x) { return x->SetIntByName(B(name), 1); }},
        {"GetStringByName", [&](IXMLObj* x) { return x->GetStringByName(B(name), B(name), out.Out()); }},
        {"GetStringLengthByName", [&](IXMLObj* x) { return x->GetStringLengthByName(B(name), &value); }},
        {"GetIntByName", [&](IXMLObj* x) { return x->GetIntByName(B(name), 1, &value); }},
        {"SaveToFile", [&](IXMLObj* x) { return x->SaveToFile(B(name)); }},
        {"LoadFromFile", [&](IXMLObj* x) { return x->LoadFromFile(B(name)); }},
        {"DumpContext", [&](IXMLObj* x) { return x->DumpContext(); }},
        {"ImportNode", [&](IXMLObj* x) { return x->ImportNode(B(text)); }},
        {"ReplaceNode", [&](IXMLObj* x) { return x->ReplaceNode(B(text)); }},
        {"SeekParent", [&](IXMLObj* x) { return x->SeekParent(); }},
        {"GetCurrentNodeNameLength", [&](IXMLObj* x) { return x->GetCurrentNodeNameLength(&value); }},
        {"SetString", [&](IXMLObj* x) { return x->SetString(B(name)); }},
        {"SetInt", [&](IXMLObj* x) { return x->SetInt(1); }},
        {"GetString", [&](IXMLObj* x) { return x->GetString(B(name), out.Out()); }},
        {"GetStringLength", [&](IXMLObj* x) { return x->GetStringLength(&value); }},
    };
    for (const auto& [what, call] : operations) {
        EXPECT_EQ(call(xml.Get()), kNoStore) << what;
        EXPECT_EQ(out.Get(), nullptr) << what;
    }
    // GetInt answers false instead, and leaves the default in the value.
    value = 0;
    EXPECT_EQ(xml->GetInt(-3, &value), S_FALSE);
    EXPECT_EQ(value, -3);

    EXPECT_EQ(xml->Initialize(), S_OK);
    EXPECT_EQ(xml->SetContext(B(name)), S_FALSE); // an empty document has no config
}

TEST_F(XMLObjTest, FalseAnswersAreSFalseNotFailures)
{
    Load(u"<root><item/></root>");
    plat::ScopedBstr config(u"config"), broken(u"<unclosed"), path(u"/root/item"), missing(u"/root/none");
    struct Case {
        const char* what;
        std::function<HRESULT()> call;
        HRESULT expected;
    };
    const Case cases[] = {
        {"context on a missing child", [&] { return xml->SetContext(B(config)); }, S_FALSE},
        {"context by absolute path", [&] { return xml->SetContext(B(path)); }, S_OK},
        {"next match of a single match", [&] { return xml->SeekNextMatch(); }, S_FALSE},
        {"first child of a leaf", [&] { return xml->SeekFirstChild(); }, S_FALSE},
        {"parent", [&] { return xml->SeekParent(); }, S_OK},
        {"no selection", [&] { return xml->SetContext(B(missing)); }, S_FALSE},
        {"attribute on the root", [&] { return xml->SetAttribute(B(config), B(config)); }, S_OK},
        {"remove the root's missing attribute", [&] { return xml->RemoveAttribute(B(path)); }, S_FALSE},
        {"ill-formed text", [&] { return xml->ParseXML(B(broken)); }, S_FALSE},
        {"import of ill-formed text", [&] { return xml->ImportNode(B(broken)); }, kNoStore},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.call(), c.expected) << c.what;
}

TEST_F(XMLObjTest, GettersFallBackToTheirDefaults)
{
    Load(kSource);
    plat::ScopedBstr config(u"/scannerSource/config");
    ASSERT_EQ(xml->SetContext(B(config)), S_OK);

    struct IntCase {
        const char16_t* name;
        INT fallback;
        INT expected;
    };
    const IntCase byName[] = {{u"Width", -1, 2550}, {u"Height", -1, -1}, {u"scanner", 7, 7}};
    for (const IntCase& c : byName) {
        plat::ScopedBstr name(c.name);
        INT value = 0;
        EXPECT_EQ(xml->GetIntByName(B(name), c.fallback, &value), S_OK);
        EXPECT_EQ(value, c.expected) << Utf16ToUtf8(c.name);
    }

    struct TextCase {
        const char16_t* name;
        const char16_t* expected;
    };
    plat::ScopedBstr fallback(u"Undefined");
    const TextCase texts[] = {{u"Width", u"2550"}, {u"scanner", u"Undefined"}, {u"nothing", u"Undefined"}};
    for (const TextCase& c : texts) {
        plat::ScopedBstr name(c.name), value;
        EXPECT_EQ(xml->GetStringByName(B(name), B(fallback), value.Out()), S_OK);
        EXPECT_EQ(value.View(), c.expected) << Utf16ToUtf8(c.name);
        EXPECT_NE(value.Get(), fallback.Get()); // a copy, never the caller's own string
    }
    plat::ScopedBstr value;
    EXPECT_EQ(xml->GetStringByName(nullptr, B(fallback), value.Out()), kNoStore);
    EXPECT_EQ(xml->GetAttribute(nullptr, B(fallback), value.Out()), kNoStore);

    plat::ScopedBstr mode(u"mode"), kind(u"kind"), pages(u"pages"), none(u"none");
    ASSERT_EQ(xml->SetContext(B(mode)), S_OK);
    EXPECT_EQ(xml->GetAttribute(B(kind), B(fallback), value.Out()), S_OK);
    EXPECT_EQ(value.View(), u"duplex");
    EXPECT_EQ(xml->GetAttribute(B(none), B(fallback), value.Out()), S_OK);
    EXPECT_EQ(value.View(), u"Undefined");
    INT number = 0;
    EXPECT_EQ(xml->GetAttributeInt(B(pages), -1, &number), S_OK);
    EXPECT_EQ(number, 12);
    EXPECT_EQ(xml->GetAttributeInt(B(none), -1, &number), S_OK);
    EXPECT_EQ(number, -1);
    EXPECT_EQ(xml->GetAttributeLength(B(kind), &number), S_OK);
    EXPECT_EQ(number, 6);
    EXPECT_EQ(xml->GetString(B(fallback), value.Out()), S_OK); // the element has no text
    EXPECT_EQ(value.View(), u"Undefined");
}

TEST_F(XMLObjTest, WritesAndNavigationShowInTheDocument)
{
    Load(kSource);
    plat::ScopedBstr output(u"/scannerSource/output"), width(u"Width"), dpi(u"dpi"), text;
    ASSERT_EQ(xml->SetContext(B(output)), S_OK);
    EXPECT_EQ(xml->SetIntByName(B(width), 2480), S_OK);
    EXPECT_EQ(xml->SetAttributeInt(B(dpi), 300), S_OK);
    plat::ScopedBstr extra(u"<extra a=\"1\"><b>x</b></extra>");
    EXPECT_EQ(xml->ImportNode(B(extra)), S_OK);
    EXPECT_EQ(xml->GetCurrentNodeName(text.Out()), S_OK);
    EXPECT_EQ(text.View(), u"extra");
    INT length = 0;
    EXPECT_EQ(xml->GetCurrentNodeNameLength(&length), S_OK);
    EXPECT_EQ(length, 5);
    EXPECT_EQ(xml->SeekParent(), S_OK);

    ASSERT_EQ(xml->GenerateXMLFromContext(text.Out()), S_OK);
    EXPECT_EQ(text.View(), u"<output dpi=\"300\"><Width>2480</Width><extra a=\"1\"><b>x</b></extra></output>");

    // Walking the children of the root: each name handed out is a new string.
    ASSERT_EQ(xml->SeekRootNode(), S_OK);
    plat::ScopedBstr first, second;
    ASSERT_EQ(xml->GetCurrentNodeName(first.Out()), S_OK);
    ASSERT_EQ(xml->GetCurrentNodeName(second.Out()), S_OK);
    EXPECT_EQ(first.View(), u"scannerSource");
    EXPECT_NE(first.Get(), second.Get());
    ASSERT_EQ(xml->SeekFirstChild(), S_OK);
    EXPECT_EQ(xml->SeekNextSibling(), S_OK);
    EXPECT_EQ(xml->GetCurrentNodeName(text.Out()), S_OK);
    EXPECT_EQ(text.View(), u"output");
    EXPECT_EQ(xml->SeekNextSibling(), S_FALSE);

    // A second document replaces the first in the same object.
    plat::ScopedBstr other(u"<rasterCvrt><restrictions/></rasterCvrt>");
    ASSERT_EQ(xml->ParseXML(B(other)), S_OK);
    ASSERT_EQ(xml->GenerateXML(text.Out()), S_OK);
    EXPECT_EQ(text.View(), u"<rasterCvrt><restrictions/></rasterCvrt>");
}

TEST_F(XMLObjTest, ReplaceNodeSwapsTheContext)
{
    Load(kSource);
    plat::ScopedBstr output(u"/scannerSource/output"), replacement(u"<output><Height>3300</Height></output>");
    ASSERT_EQ(xml->SetContext(B(output)), S_OK);
    ASSERT_EQ(xml->ReplaceNode(B(replacement)), S_OK);
    plat::ScopedBstr height(u"Height");
    INT value = 0;
    EXPECT_EQ(xml->GetIntByName(B(height), -1, &value), S_OK);
    EXPECT_EQ(value, 3300);
    // The document root has no parent to be replaced in.
    ASSERT_EQ(xml->SeekRootNode(), S_OK);
    EXPECT_EQ(xml->SeekParent(), S_OK);
    EXPECT_EQ(xml->ReplaceNode(B(replacement)), S_FALSE);
}

TEST_F(XMLObjTest, SavedDocumentsLoadIntoAnotherObject)
{
    Load(kSource);
    const std::u16string path = Utf8ToUtf16(m_root.Path()) + u"/source.xml";
    plat::ScopedBstr file(path), missing(path + u".none"), text, again;
    ASSERT_EQ(xml->SaveToFile(B(file)), S_OK);
    ASSERT_EQ(xml->GenerateXML(text.Out()), S_OK);

    auto other = Create<IXMLObj>(CLSID_XMLObj, IID_IXMLObj);
    ASSERT_TRUE(other);
    ASSERT_EQ(other->Initialize(), S_OK);
    EXPECT_EQ(other->LoadFromFile(B(missing)), S_FALSE);
    ASSERT_EQ(other->LoadFromFile(B(file)), S_OK);
    ASSERT_EQ(other->GenerateXML(again.Out()), S_OK);
    EXPECT_EQ(again.View(), text.View());
}

TEST_F(XMLObjTest, LateBoundCallsUseDeclarationOrderDispIds)
{
    IDispatch* dispatch = xml.Get();
    struct Name {
        const char16_t* name;
        DISPID id;
    };
    const Name names[] = {{u"Initialize", 0x60020000},
                          {u"parsexml", 0x60020001},
                          {u"GetIntByName", 0x60020016},
                          {u"SeekParent", 0x6002001C},
                          {u"GETINT", 0x60020022}};
    for (const Name& n : names) {
        LPOLESTR name = const_cast<LPOLESTR>(n.name);
        DISPID id = 0;
        EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
        EXPECT_EQ(id, n.id) << Utf16ToUtf8(n.name);
    }

    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXCEPINFO info{};
    EXPECT_EQ(dispatch->Invoke(0x60020005, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, &info, nullptr),
              DISP_E_EXCEPTION);
    EXPECT_EQ(info.scode, kNoStore);
    ASSERT_EQ(dispatch->Invoke(0x60020000, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_OK);

    plat::ScopedBstr source(kSource), path(u"/scannerSource/config"), width(u"Width");
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_BSTR;
    arg.bstrVal = source.Get();
    DISPPARAMS one{&arg, nullptr, 1, 0};
    ASSERT_EQ(dispatch->Invoke(0x60020001, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr), S_OK);
    arg.bstrVal = path.Get();
    ASSERT_EQ(dispatch->Invoke(0x60020004, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr), S_OK);
    // A false answer travels as S_FALSE, not as an exception.
    EXPECT_EQ(dispatch->Invoke(0x60020008, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr), S_FALSE);

    // GetIntByName ("Width", -1): arguments last first, the value as the result.
    VARIANT args[2];
    VariantInit(&args[0]);
    VariantInit(&args[1]);
    args[1].vt = VT_BSTR;
    args[1].bstrVal = width.Get();
    args[0].vt = VT_I4;
    args[0].lVal = -1;
    DISPPARAMS two{args, nullptr, 2, 0};
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(dispatch->Invoke(0x60020016, IID_NULL, 0, DISPATCH_METHOD, &two, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.vt, VT_INT);
    EXPECT_EQ(result.intVal, 2550);
}

} // namespace
