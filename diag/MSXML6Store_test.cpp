#include "diag/MSXML6Store.h"

#include "diag/RecordingLogSink.h"
#include "diag/XMLText.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/oleauto/bstr.h"
#include "platform/testing/TempSystemRoot.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

namespace {

struct StoreDeleter {
    void operator()(MSXML6Store* store) const { store->Destroy(); }
};
using StorePtr = std::unique_ptr<MSXML6Store, StoreDeleter>;

StorePtr Parse(const char16_t* text)
{
    StorePtr store(CreateMSXML6Store());
    EXPECT_TRUE(store->ParseXML(text)) << Utf16ToUtf8(text);
    return store;
}

std::u16string Take(BSTR text)
{
    std::u16string value = text ? std::u16string(text, SysStringLen(text)) : std::u16string();
    SysFreeString(text);
    return value;
}

std::u16string Name(MSXML6Store& store) { return Take(store.GetCurrentNodeNameBSTR()); }

std::u16string Text(MSXML6Store& store)
{
    BSTR text = nullptr;
    store.GetStringBSTR(&text);
    return Take(text);
}

std::u16string Xml(MSXML6Store& store) { return Take(store.GenerateXML()); }

TEST(MSXML6Store, ReadsByNameWithDefault)
{
    StorePtr store = Parse(u"<a><b>5</b><n> -12x</n></a>");
    ASSERT_TRUE(store->SetContext(u"/a"));
    struct Case {
        const char16_t* name;
        LONG defaultValue;
        LONG expected;
    } cases[] = {{u"b", 0, 5}, {u"c", 7, 7}, {u"n", 0, -12}, {u"b/x", -1, -1}};
    for (const Case& c : cases)
        EXPECT_EQ(store->GetIntByName(c.name, c.defaultValue), c.expected) << Utf16ToUtf8(c.name);
    EXPECT_EQ(Name(*store), u"a") << "reading by name does not move the context";
}

TEST(MSXML6Store, RelativePathsFromContextAbsoluteFromDocument)
{
    StorePtr store = Parse(u"<a><b>top</b><c><b>inner</b></c></a>");
    struct Case {
        const char16_t* start; // null: no context
        const char16_t* path;
        const char16_t* expected;
    } cases[] = {
        {u"/a", u"b", u"top"},        {u"/a/c", u"b", u"inner"},     {u"/a/c", u"/a/b", u"top"},
        {u"/a/c/b", u"..", u"inner"}, {nullptr, u"a/c/b", u"inner"},
    };
    for (const Case& c : cases) {
        if (c.start)
            ASSERT_TRUE(store->SetContext(c.start));
        else
            store->SetContextNode(nullptr);
        EXPECT_TRUE(store->SetContext(c.path)) << Utf16ToUtf8(c.path);
        EXPECT_EQ(Text(*store), c.expected) << Utf16ToUtf8(c.path);
    }
}

TEST(MSXML6Store, EmptySelectionKeepsContextAndFails)
{
    StorePtr store = Parse(u"<a><b/></a>");
    ASSERT_TRUE(store->SetContext(u"/a"));
    struct Case {
        const char16_t* path;
        HRESULT result; // S_FALSE: nothing found; E_FAIL: not a path
    } cases[] = {{u"/a/x", S_FALSE}, {u"x", S_FALSE}, {u"/a/b/@n", S_FALSE}, {u"/a[", E_FAIL}, {u"", E_FAIL}};
    for (const Case& c : cases) {
        EXPECT_FALSE(store->SetContext(c.path)) << Utf16ToUtf8(c.path);
        EXPECT_EQ(store->GetLastResult(), c.result) << Utf16ToUtf8(c.path);
        EXPECT_FALSE(store->SeekNextMatch());
        EXPECT_EQ(Name(*store), u"a");
    }
}

TEST(MSXML6Store, SeekNextMatchWalksTheSelection)
{
    StorePtr store = Parse(u"<a><b>1</b><c/><b>2</b><b>3</b></a>");
    ASSERT_TRUE(store->SetContext(u"/a/b"));
    EXPECT_EQ(Text(*store), u"1");
    EXPECT_TRUE(store->SeekNextMatch());
    EXPECT_TRUE(store->SeekNextMatch());
    EXPECT_FALSE(store->SeekNextMatch());
    EXPECT_EQ(Text(*store), u"3");

    // The list is that of the last SetContext, whatever navigation came since.
    ASSERT_TRUE(store->SetContext(u"/a/b"));
    ASSERT_TRUE(store->SeekParent());
    EXPECT_TRUE(store->SeekNextMatch());
    EXPECT_EQ(Text(*store), u"2");
}

TEST(MSXML6Store, SetStringByNameSetsOrAppends)
{
    StorePtr store = Parse(u"<a><b>5</b></a>");
    struct Case {
        const char16_t* context;
        const char16_t* name;
        const char16_t* value;
        const char16_t* xml;
    } cases[] = {
        {u"/a", u"c", u"x", u"<a><b>5</b><c>x</c></a>"},   // no child c: appended
        {u"/a/c", u"c", u"y", u"<a><b>5</b><c>y</c></a>"}, // the context itself
        {u"/a", u"b", u"6", u"<a><b>6</b><c>y</c></a>"},   // an existing child
        {u"/a", u"b", u"a<&>\"", u"<a><b>a&lt;&amp;&gt;\"</b><c>y</c></a>"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(store->SetContext(c.context));
        EXPECT_TRUE(store->SetStringByName(c.name, c.value));
        EXPECT_EQ(Xml(*store), c.xml);
    }
    ASSERT_TRUE(store->SetContext(u"/a"));
    EXPECT_TRUE(store->SetIntByName(u"d", -42));
    EXPECT_EQ(store->GetIntByName(u"d", 0), -42);
}

TEST(MSXML6Store, SetStringByNameFailureIsLoggedNotShown)
{
    RecordingLogSink sink;
    StorePtr store = Parse(u"<a>text</a>");
    store->SetLogInterface(&sink);
    EnableLogName(u"XMLStore");
    SetLogMask(LOG_ERROR);
    ASSERT_TRUE(store->SetContext(u"/a/text()"));
    EXPECT_FALSE(store->SetStringByName(u"c", u"x"));
    ASSERT_EQ(sink.records.size(), 1u);
    EXPECT_EQ(sink.records[0].text, u"SetString \"c\" failing, hr=80004005\n");
    EXPECT_EQ(sink.records[0].logName, u"XMLStore");
    EXPECT_EQ(sink.records[0].level, LOG_ERROR);
    SetLogMask(0);
    store->SetLogInterface(nullptr);
}

// U+FFFE, U+FFFF and surrogates that are not in a pair cannot be written as
// XML; every way in refuses them and leaves the document as it was, so that
// what the store writes it can read back.
TEST(MSXML6Store, RefusesCharactersItCouldNotWriteBack)
{
    const std::u16string unwritable[] = {
        u"\xFFFE", u"\xFFFF", u"x\xD800", u"\xD83Dx", u"\xDC00", u"\xDE00\xD83D",
    };
    using Setter = std::function<BOOL(MSXML6Store&, const std::u16string&)>;
    const struct {
        const char* what;
        Setter set;
    } setters[] = {
        {"element text", [](MSXML6Store& s, const std::u16string& v) { return s.SetString(v.c_str()); }},
        {"text of an existing child",
         [](MSXML6Store& s, const std::u16string& v) { return s.SetStringByName(u"b", v.c_str()); }},
        {"text of a new child",
         [](MSXML6Store& s, const std::u16string& v) { return s.SetStringByName(u"c", v.c_str()); }},
        {"text of an attribute by path",
         [](MSXML6Store& s, const std::u16string& v) { return s.SetStringByName(u"@n", v.c_str()); }},
        {"name of a new child",
         [](MSXML6Store& s, const std::u16string& v) { return s.SetStringByName((u"c" + v).c_str(), u"1"); }},
        {"attribute value", [](MSXML6Store& s, const std::u16string& v) { return s.SetAttribute(u"n", v.c_str()); }},
        {"attribute name",
         [](MSXML6Store& s, const std::u16string& v) { return s.SetAttribute((u"m" + v).c_str(), u"1"); }},
        {"element name", [](MSXML6Store& s, const std::u16string& v) { return s.CreateNode((u"e" + v).c_str()); }},
        {"comment text",
         [](MSXML6Store& s, const std::u16string& v) {
             return s.SetContext(u"/a/comment()") && s.SetString(v.c_str());
         }},
    };
    for (const std::u16string& bad : unwritable) {
        for (const auto& setter : setters) {
            SCOPED_TRACE(std::string(setter.what) + " with " + ::testing::PrintToString(bad));
            StorePtr store = Parse(u"<a n=\"1\"><b>5</b><!--c--></a>");
            ASSERT_TRUE(store->SetContext(u"/a"));
            EXPECT_FALSE(setter.set(*store, bad));
            EXPECT_TRUE(FAILED(store->GetLastResult()));
            EXPECT_EQ(Xml(*store), u"<a n=\"1\"><b>5</b><!--c--></a>");
        }
    }

    // A pair is one character, welcome in names and values alike.
    StorePtr store = Parse(u"<a/>");
    ASSERT_TRUE(store->SetContext(u"/a"));
    EXPECT_TRUE(store->SetAttribute(u"n\U00010000", u"\U0001F600"));
    EXPECT_TRUE(store->SetStringByName(u"b", u"\U0001F600"));
    EXPECT_TRUE(store->CreateNode(u"c\U00010000"));
    EXPECT_EQ(Xml(*Parse(Xml(*store).c_str())), u"<a n\U00010000=\"\U0001F600\"><b>\U0001F600</b><c\U00010000/></a>");

    // Text to load is refused whether the character stands in a name, a
    // value or a reference, from a string or from a file.
    plat::testing::TempSystemRoot root;
    for (const std::u16string& bad : unwritable) {
        SCOPED_TRACE(::testing::PrintToString(bad));
        for (const std::u16string& text : {u"<a>" + bad + u"</a>", u"<a" + bad + u"/>", u"<a n=\"" + bad + u"\"/>"}) {
            EXPECT_FALSE(store->ParseXML(text.c_str()));
            std::string file = root.Path() + "/bad.xml";
            std::string bytes("\xFF\xFE", 2);
            for (char16_t c : text)
                bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
            std::ofstream(file, std::ios::binary) << bytes;
            EXPECT_FALSE(store->LoadFromFile(Utf8ToUtf16(file).c_str()));
        }
    }
    for (const char16_t* reference : {u"<a>&#xFFFE;</a>", u"<a n=\"&#65535;\"/>", u"<a>&#xDC00;</a>"})
        EXPECT_FALSE(store->ParseXML(reference)) << Utf16ToUtf8(reference);
}

// A control character can stand in text and attribute values, written as a
// character reference; comments, processing instructions and CDATA sections
// hold no references, so there it is refused.
TEST(MSXML6Store, ControlCharactersOnlyWhereAReferenceCanStandForThem)
{
    const char16_t* const document = u"<a n=\"1\"><b>t</b><!--c--><?p d?><![CDATA[x]]></a>";
    const char16_t* const value = u"x\x10y";
    using Setter = std::function<BOOL(MSXML6Store&)>;
    auto at = [&](const char16_t* path) {
        return [=](MSXML6Store& s) { return s.SetContext(path) && s.SetString(value); };
    };
    auto byName = [&](const char16_t* name) {
        return [=](MSXML6Store& s) { return s.SetContext(u"/a") && s.SetStringByName(name, value); };
    };
    const struct {
        const char* what;
        Setter set;
        const char16_t* read; // where the value reads back from /a; null when refused
    } cases[] = {
        {"element", at(u"/a/b"), u"b"},
        {"text node", at(u"/a/b/text()"), u"b"},
        {"element by name", byName(u"b"), u"b"},
        {"attribute", [&](MSXML6Store& s) { return s.SetContext(u"/a") && s.SetAttribute(u"n", value); }, u"@n"},
        {"attribute by name", byName(u"@n"), u"@n"},
        {"comment", at(u"/a/comment()"), nullptr},
        {"comment by name", byName(u"comment()"), nullptr},
        {"processing instruction", at(u"/a/processing-instruction()"), nullptr},
        {"CDATA section", at(u"/a/text()"), nullptr},
    };
    plat::testing::TempSystemRoot root;
    const std::u16string file = Utf8ToUtf16(root.Path() + "/controls.xml");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StorePtr store = Parse(document);
        EXPECT_EQ(c.set(*store), c.read != nullptr);
        if (!c.read) {
            EXPECT_EQ(Xml(*store), document);
            continue;
        }
        ASSERT_TRUE(store->SaveToFile(file.c_str()));
        StorePtr loaded(CreateMSXML6Store());
        ASSERT_TRUE(loaded->LoadFromFile(file.c_str()));
        EXPECT_EQ(Xml(*loaded), Xml(*store));
        ASSERT_TRUE(loaded->SetContext(u"/a"));
        BSTR read = nullptr;
        EXPECT_TRUE(loaded->GetStringByNameBSTR(c.read, &read));
        EXPECT_EQ(Take(read), value);
    }
}

TEST(MSXML6Store, AttributesAsNumbers)
{
    StorePtr store = Parse(u"<a n1=\"12abc\" n2=\"abc\" n3=\" -5\" n4=\"+7\" n5=\"99999999999\"/>");
    ASSERT_TRUE(store->SetContext(u"/a"));
    struct Case {
        const char16_t* name;
        LONG expected;
    } cases[] = {{u"n1", 12}, {u"n2", 0}, {u"n3", -5}, {u"n4", 7}, {u"n5", 2147483647}, {u"missing", -1}};
    for (const Case& c : cases)
        EXPECT_EQ(store->GetAttributeInt(c.name, -1), c.expected) << Utf16ToUtf8(c.name);

    EXPECT_TRUE(store->SetAttributeInt(u"n2", -8));
    EXPECT_EQ(store->GetAttributeInt(u"n2", 0), -8);
    EXPECT_EQ(store->GetAttributeLength(u"n1"), 5u);
    EXPECT_EQ(store->GetAttributeLength(u"missing"), 0u);
    EXPECT_TRUE(store->RemoveAttribute(u"n1"));
    EXPECT_FALSE(store->RemoveAttribute(u"n1"));
    EXPECT_FALSE(store->SetAttribute(u"bad name", u"v"));
    BSTR value = nullptr;
    EXPECT_TRUE(store->GetAttributeBSTR(u"n3", &value));
    EXPECT_EQ(Take(value), u" -5");
}

TEST(MSXML6Store, DeclarationIsTheFirstChildNamedXml)
{
    struct Case {
        const char16_t* text;
        const char16_t* first;
    } cases[] = {
        {u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<a><b/></a>", u"xml"},
        {u"<a><b/></a>", u"a"},
        {u"<!-- note --><a/>", u"#comment"},
    };
    for (const Case& c : cases) {
        StorePtr store = Parse(c.text);
        ASSERT_TRUE(store->SeekRootNode());
        EXPECT_EQ(Name(*store), c.first);
        EXPECT_EQ(Xml(*store).substr(0, 2), u"<a") << "the generated text is the root element's";
    }
    StorePtr store = Parse(cases[0].text);
    WCHAR name[8];
    EXPECT_TRUE(store->GetCurrentNodeName(name, 8));
    EXPECT_EQ(std::u16string(name), u"xml");
    EXPECT_TRUE(store->SeekNextSibling());
    EXPECT_EQ(Name(*store), u"a");
}

TEST(MSXML6Store, WhitespaceOnlyTextIsDroppedAndTextCoversTheSubtree)
{
    StorePtr store = Parse(u"<a>\n  <b>x<c>y</c>z</b>\n  <d> </d>\n</a>");
    ASSERT_TRUE(store->SetContext(u"/a"));
    ASSERT_TRUE(store->SeekFirstChild());
    EXPECT_EQ(Name(*store), u"b");
    EXPECT_EQ(Text(*store), u"xyz");
    ASSERT_TRUE(store->SeekNextSibling());
    EXPECT_EQ(Name(*store), u"d");
    EXPECT_FALSE(store->SeekFirstChild());
    EXPECT_EQ(Name(*store), u"d");
    EXPECT_EQ(store->GetStringLength(), 0u);
}

TEST(MSXML6Store, ParseErrorsFailWithLineAndOneRecord)
{
    struct Case {
        const char16_t* text;
        LONG line;
    } cases[] = {
        {u"<a>\n<b>\n</a>", 3},
        {u"", 1},
        {u"<a/><b/>", 1},
        {u"text<a/>", 1},
        {u"<a>\n\x0001</a>", 2},
        {u"<a>\xD800</a>", 1},
        {u"<a/>\n<?xml version=\"1.0\"?>", 2},
        {u"<a>\n<b>&undefined;</b></a>", 2},
        {u"<a>\n<b>fish & chips</b></a>", 2},
        {u"<a><b>&#;</b><c>&#xD800;</c></a>", 1},
        {u"<a>\n<b n=\"1\" n=\"2\"/></a>", 2},
        {u"<a n=\"&lt\"/>", 1},
        {u"<a n=\"<\"/>", 1},
    };
    RecordingLogSink sink;
    StorePtr store(CreateMSXML6Store());
    store->SetLogInterface(&sink);
    EnableLogName(u"XMLStore");
    SetLogMask(LOG_ERROR);
    for (const Case& c : cases) {
        sink.records.clear();
        EXPECT_FALSE(store->ParseXML(c.text)) << Utf16ToUtf8(c.text);
        EXPECT_EQ(store->GetLastResult(), S_FALSE);
        EXPECT_EQ(store->GetParseErrorLine(), c.line) << Utf16ToUtf8(c.text);
        EXPECT_FALSE(store->GetParseErrorReason().empty());
        ASSERT_EQ(sink.records.size(), 1u);
        EXPECT_EQ(sink.records[0].text.rfind(u"Parse error in line ", 0), 0u);
        EXPECT_EQ(sink.records[0].level, LOG_ERROR);
        // A failed parse leaves an empty document: the root is the document node itself.
        EXPECT_EQ(store->GenerateXML(), nullptr);
        EXPECT_TRUE(store->SeekRootNode());
        EXPECT_EQ(Name(*store), u"#document");
        EXPECT_FALSE(store->SeekFirstChild());
    }
    SetLogMask(0);
    store->SetLogInterface(nullptr);
}

TEST(MSXML6Store, ReferencesAreExpandedOnce)
{
    struct Case {
        const char16_t* text;
        const char16_t* attribute; // of n on the root
        const char16_t* content;
    } cases[] = {
        {u"<a n=\"&lt;&#65;&#x42;&quot;&apos;\">&amp;lt;&gt;</a>", u"<AB\"'", u"&lt;>"},
        {u"<a n=\"x&#10;y\">&#x20AC;&#128512;</a>", u"x\ny", u"\u20AC\U0001F600"},
        {u"<a n=\"\"><![CDATA[&undefined;]]><!-- &c; --></a>", u"", u"&undefined;"},
        {u"<a n=\"\">x&#01;y</a>", u"", u"x\001y"}, // as the writer puts out a control character
    };
    for (const Case& c : cases) {
        StorePtr store = Parse(c.text);
        ASSERT_TRUE(store->SetContext(u"/a"));
        BSTR value = nullptr;
        EXPECT_TRUE(store->GetAttributeBSTR(u"n", &value));
        EXPECT_EQ(Take(value), c.attribute) << Utf16ToUtf8(c.text);
        EXPECT_EQ(Text(*store), c.content) << Utf16ToUtf8(c.text);

        // What the store writes reads back the same.
        StorePtr again = Parse(Xml(*store).c_str());
        EXPECT_EQ(Xml(*again), Xml(*store));
    }
}

TEST(MSXML6Store, SetStringByNameOnTheDocumentMakesOneRoot)
{
    StorePtr store(CreateMSXML6Store());
    ASSERT_TRUE(store->SetContext(u"/"));
    EXPECT_TRUE(store->SetStringByName(u"config", u"x"));
    EXPECT_EQ(Xml(*store), u"<config>x</config>");
    ASSERT_TRUE(store->SetContext(u"/"));
    EXPECT_FALSE(store->SetStringByName(u"second", u"y"));
    EXPECT_EQ(Xml(*store), u"<config>x</config>");
}

TEST(MSXML6Store, CreateNodeBuildsOneRoot)
{
    StorePtr store(CreateMSXML6Store());
    ASSERT_NE(store, nullptr);
    EXPECT_TRUE(store->CreateNode(u"config"));
    store->SetContextNode(nullptr);
    EXPECT_FALSE(store->CreateNode(u"second"));
    EXPECT_EQ(Xml(*store), u"<config/>");

    ASSERT_TRUE(store->SetContext(u"/config"));
    EXPECT_TRUE(store->CreateNode(u"input"));
    EXPECT_TRUE(store->SetIntByName(u"Width", 100));
    EXPECT_FALSE(store->CreateNode(u"1bad"));
    EXPECT_EQ(Xml(*store), u"<config><input><Width>100</Width></input></config>");
    EXPECT_EQ(Take(store->GenerateXMLFromContext()), u"<input><Width>100</Width></input>");

    store->SetContextNode(nullptr);
    EXPECT_EQ(store->GenerateXMLFromContext(), nullptr);
}

TEST(MSXML6Store, ImportReplaceAndRemove)
{
    StorePtr store = Parse(u"<config><input><Width>1</Width></input></config>");
    StorePtr other = Parse(u"<output><Status>0</Status></output>");
    ASSERT_TRUE(other->SeekRootNode());

    ASSERT_TRUE(store->SetContext(u"/config"));
    EXPECT_TRUE(store->ImportNode(other.get()));
    EXPECT_EQ(Name(*store), u"output");
    EXPECT_EQ(Xml(*store), u"<config><input><Width>1</Width></input><output><Status>0</Status></output></config>");

    StorePtr replacement = Parse(u"<input><Width>2</Width></input>");
    ASSERT_TRUE(replacement->SeekRootNode());
    ASSERT_TRUE(store->SetContext(u"/config/input"));
    EXPECT_TRUE(store->ReplaceNode(replacement.get()));
    EXPECT_EQ(store->GetIntByName(u"Width", 0), 2);
    EXPECT_EQ(Xml(*other), u"<output><Status>0</Status></output>") << "the other store is not changed";

    ASSERT_TRUE(store->SetContext(u"/config/output"));
    EXPECT_TRUE(store->RemoveNode());
    EXPECT_EQ(Name(*store), u"config");
    EXPECT_EQ(Xml(*store), u"<config><input><Width>2</Width></input></config>");

    // A second root element cannot come in beside the first.
    ASSERT_TRUE(store->SetContext(u"/"));
    EXPECT_FALSE(store->ImportNode(other.get()));
    EXPECT_FALSE(store->ReplaceNode(other.get())) << "the document node has no parent";

    // A node imported below itself is copied as it was.
    ASSERT_TRUE(store->SetContext(u"/config"));
    EXPECT_TRUE(store->ImportNode(store.get()));
    EXPECT_EQ(Xml(*store),
              u"<config><input><Width>2</Width></input><config><input><Width>2</Width></input></config></config>");
}

TEST(MSXML6Store, RemovedNodesLeaveNoDanglingCursor)
{
    StorePtr store = Parse(u"<r><a><b>1</b><b>2</b></a><b>3</b></r>");
    ASSERT_TRUE(store->SetContext(u"//b"));
    XMLNodeRef* held = store->GetContextNode();
    ASSERT_NE(held, nullptr);
    ASSERT_TRUE(store->SeekParent());
    ASSERT_TRUE(store->RemoveNode()); // removes a with two of the selected b
    EXPECT_EQ(Name(*store), u"r");
    EXPECT_TRUE(store->SeekNextMatch()) << "the b outside the removed subtree is still there";
    EXPECT_EQ(Text(*store), u"3");
    EXPECT_FALSE(store->SeekNextMatch());

    // A node reference that outlived its node no longer names a context.
    store->SetContextNode(held);
    store->ReleaseNode(held);
    EXPECT_EQ(store->GetCurrentNodeNameBSTR(), nullptr);
    EXPECT_FALSE(store->SetString(u"x"));

    // Putting text replaces the children, and the selection forgets them.
    ASSERT_TRUE(store->SetContext(u"/r/b"));
    ASSERT_TRUE(store->SetContext(u"/r"));
    ASSERT_TRUE(store->SetString(u"plain"));
    EXPECT_EQ(Xml(*store), u"<r>plain</r>");
}

TEST(MSXML6Store, CallerBuffersAreCutAndTerminated)
{
    StorePtr store = Parse(u"<a n=\"value\">hello</a>");
    ASSERT_TRUE(store->SetContext(u"/a"));
    WCHAR buffer[4] = {u'#', u'#', u'#', u'#'};
    EXPECT_TRUE(store->GetString(buffer, 3));
    EXPECT_EQ(std::u16string(buffer), u"he");
    EXPECT_EQ(buffer[3], u'#');
    EXPECT_TRUE(store->GetAttribute(u"n", buffer, 4));
    EXPECT_EQ(std::u16string(buffer), u"val");
    EXPECT_FALSE(store->GetString(buffer, 0));
    EXPECT_FALSE(store->GetString(nullptr, 4));
    EXPECT_FALSE(store->GetCurrentNodeName(buffer, 0));
    EXPECT_EQ(store->GetCurrentNodeNameLength(), 1u);
}

TEST(MSXML6Store, NothingLoadedAnswersFalse)
{
    StorePtr store(CreateMSXML6Store());
    WCHAR buffer[8];
    EXPECT_FALSE(store->SetContext(u"/a"));
    EXPECT_FALSE(store->SeekParent());
    EXPECT_FALSE(store->SeekNextMatch());
    EXPECT_FALSE(store->GetString(buffer, 8));
    EXPECT_EQ(store->GetInt(9), 9);
    EXPECT_EQ(store->GetIntByName(u"a", 9), 9);
    EXPECT_EQ(store->GetAttributeInt(u"a", 9), 9);
    EXPECT_FALSE(store->SetString(u"x"));
    EXPECT_FALSE(store->RemoveNode());
    EXPECT_EQ(store->GetContextNode(), nullptr);
    EXPECT_EQ(store->GenerateXML(), nullptr);
    store->DumpContext();
}

TEST(MSXML6Store, SavesAndLoadsThroughAFile)
{
    plat::testing::TempSystemRoot root;
    std::u16string path = Utf8ToUtf16(root.Path() + "/settings.xml");
    StorePtr store = Parse(u"<?xml version=\"1.0\"?><profile name=\"Gr\u00fc\u00dfe \u20ac\"><dpi>300</dpi></profile>");
    ASSERT_TRUE(store->SetContext(u"/profile"));
    ASSERT_TRUE(store->SetStringByName(u"note", u"a<b & \U0001F600"));
    ASSERT_TRUE(store->SaveToFile(path.c_str()));

    StorePtr loaded(CreateMSXML6Store());
    ASSERT_TRUE(loaded->LoadFromFile(path.c_str()));
    EXPECT_EQ(Xml(*loaded), Xml(*store));
    ASSERT_TRUE(loaded->SeekRootNode());
    EXPECT_EQ(Name(*loaded), u"xml");
    ASSERT_TRUE(loaded->SetContext(u"/profile"));
    BSTR value = nullptr;
    EXPECT_TRUE(loaded->GetAttributeBSTR(u"name", &value));
    EXPECT_EQ(Take(value), u"Gr\u00fc\u00dfe \u20ac");
    EXPECT_TRUE(loaded->GetStringByNameBSTR(u"note", &value));
    EXPECT_EQ(Take(value), u"a<b & \U0001F600");

    EXPECT_FALSE(loaded->LoadFromFile(Utf8ToUtf16(root.Path() + "/missing.xml").c_str()));
    EXPECT_FALSE(loaded->SaveToFile(Utf8ToUtf16(root.Path() + "/no/such/folder/x.xml").c_str()));
}

TEST(MSXML6Store, SavesInTheDeclaredEncoding)
{
    plat::testing::TempSystemRoot root;
    struct Case {
        const char16_t* text;
        std::string start; // the first bytes of the file
    } cases[] = {
        {u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><a>\u00e9</a>", std::string("\xFF\xFE<\0?\0", 6)},
        {u"<?xml version=\"1.0\" encoding=\"utf-8\"?><a>\u00e9</a>", "<?xml"},
        {u"<a>\u00e9</a>", "<a>\xC3\xA9"},
    };
    for (const Case& c : cases) {
        std::string file = root.Path() + "/saved.xml";
        StorePtr store = Parse(c.text);
        ASSERT_TRUE(store->SaveToFile(Utf8ToUtf16(file).c_str()));
        std::ifstream in(file, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(bytes.substr(0, c.start.size()), c.start) << Utf16ToUtf8(c.text);
        StorePtr loaded(CreateMSXML6Store());
        ASSERT_TRUE(loaded->LoadFromFile(Utf8ToUtf16(file).c_str()));
        EXPECT_EQ(Xml(*loaded), u"<a>\u00e9</a>");
    }
}

TEST(MSXML6Store, LoadsFileEncodings)
{
    plat::testing::TempSystemRoot root;
    struct Case {
        std::string bytes;
        bool loads;
    } cases[] = {
        {"\xEF\xBB\xBF<a>\xC3\xA9</a>", true},
        {std::string("\xFF\xFE<\0a\0/\0>\0", 10), true},
        {std::string("\xFE\xFF\0<\0a\0/\0>", 10), true},
        {"<a>\xC3</a>", false},         // cut sequence
        {"<a>\xC0\xAF</a>", false},     // overlong
        {"<a>\xED\xA0\x80</a>", false}, // surrogate
        {"<a>\xFF</a>", false},
    };
    int index = 0;
    for (const Case& c : cases) {
        std::string file = root.Path() + "/f" + std::to_string(index++) + ".xml";
        std::ofstream(file, std::ios::binary) << c.bytes;
        StorePtr store(CreateMSXML6Store());
        EXPECT_EQ(store->LoadFromFile(Utf8ToUtf16(file).c_str()), c.loads) << file;
    }
}

TEST(MSXML6Store, HostileInputFailsCleanly)
{
    StorePtr store(CreateMSXML6Store());

    std::u16string deep;
    for (int i = 0; i < 100000; ++i)
        deep += u"<d>";
    EXPECT_FALSE(store->ParseXML(deep.c_str())) << "unclosed";
    for (int i = 0; i < 100000; ++i)
        deep += u"</d>";
    EXPECT_FALSE(store->ParseXML(deep.c_str())) << "nested past the limit";

    std::u16string atLimit;
    for (size_t i = 0; i < xmltext::kMaxElementDepth; ++i)
        atLimit += u"<d>";
    atLimit += u"text at the deepest level";
    for (size_t i = 0; i < xmltext::kMaxElementDepth; ++i)
        atLimit += u"</d>";
    EXPECT_TRUE(store->ParseXML(atLimit.c_str()));
    EXPECT_FALSE(store->ParseXML((u"<e>" + atLimit + u"</e>").c_str())) << "one level past the limit";
    ASSERT_TRUE(store->ParseXML(atLimit.c_str()));
    EXPECT_TRUE(store->SetContext(u"//d[last()]"));

    std::u16string huge = u"<a v=\"" + std::u16string(4 * 1024 * 1024, u'v') + u"\"/>";
    ASSERT_TRUE(store->ParseXML(huge.c_str()));
    ASSERT_TRUE(store->SetContext(u"/a"));
    EXPECT_EQ(store->GetAttributeLength(u"v"), 4u * 1024 * 1024);
    EXPECT_EQ(store->GetAttributeInt(u"v", 3), 0);

    std::u16string badXPath(5000, u'(');
    EXPECT_FALSE(store->SetContext(badXPath.c_str()));
    EXPECT_FALSE(store->ParseXML(u"<a>&undefined;</a><"));
}

TEST(MSXML6Store, DumpContextGoesToTheDataLog)
{
    RecordingLogSink sink;
    StorePtr store = Parse(u"<a><b/></a>");
    store->SetLogInterface(&sink);
    EnableLogName(u"XMLStore.Data");
    SetLogMask(LOG_TRACE);
    store->DumpContext();
    ASSERT_TRUE(store->SetContext(u"/a"));
    store->DumpContext();
    ASSERT_EQ(sink.records.size(), 2u);
    EXPECT_EQ(sink.records[0].text, u"Document from Context: Context is Null.");
    EXPECT_EQ(sink.records[1].text, u"Document from Context: <a><b/></a>");
    EXPECT_EQ(sink.records[1].logName, u"XMLStore.Data");
    SetLogMask(0);
    store->SetLogInterface(nullptr);
}

} // namespace
