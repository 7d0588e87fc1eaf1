#include "diag/MSXML6Store.h"

#include "diag/XMLText.h"
#include "platform/base/strings.h"
#include "platform/base/winerror.h"
#include "platform/oleauto/bstr.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <new>
#include <strings.h>
#include <string>
#include <unordered_set>

namespace {

// Files larger than this are refused rather than read into memory.
constexpr size_t kMaxFileBytes = 256u * 1024 * 1024;

std::u16string ToWide(LONG value)
{
    std::string text = std::to_string(value);
    return std::u16string(text.begin(), text.end());
}

std::u16string_view View(const WCHAR* text) { return text ? std::u16string_view(text) : std::u16string_view(); }

BSTR MakeBSTR(std::u16string_view text) { return SysAllocStringLen(text.data(), static_cast<UINT>(text.size())); }

LONG LineAt(std::string_view text, size_t offset)
{
    offset = std::min(offset, text.size());
    LONG line = 1;
    for (size_t i = 0; i < offset; ++i)
        if (text[i] == '\n')
            ++line;
    return line;
}

// Expands the references the parser left in a text or attribute value.
template <class Item>
bool ExpandValue(Item item, std::u16string& reason)
{
    std::string_view raw = item.value();
    if (raw.find('&') == std::string_view::npos)
        return true;
    std::string text;
    if (!xmltext::ExpandReferences(raw, text, reason))
        return false;
    if (!item.set_value(text.c_str()))
        throw std::bad_alloc();
    return true;
}

// One node's values: references expanded, attribute names unique, no '<'
// in an attribute value.
bool CheckValues(pugi::xml_node node, std::u16string& reason)
{
    if (node.type() == pugi::node_pcdata)
        return ExpandValue(node, reason);
    if (node.type() != pugi::node_element && node.type() != pugi::node_declaration)
        return true;
    bool several = node.first_attribute().next_attribute();
    std::unordered_set<std::string_view> names;
    for (pugi::xml_attribute attribute : node.attributes()) {
        if (several && !names.insert(attribute.name()).second) {
            reason = u"Duplicate attribute.";
            return false;
        }
        if (std::strchr(attribute.value(), '<')) {
            reason = u"A '<' character cannot be used in an attribute value.";
            return false;
        }
        if (!ExpandValue(attribute, reason))
            return false;
    }
    return true;
}

// What the parser lets through but a DOM document refuses: anything but one
// root element at the top, a declaration that is not the first node,
// nesting deeper than the limit, and wrong values (see CheckValues).
bool CheckDocument(pugi::xml_document& document, pugi::xml_node& offender, std::u16string& reason)
{
    int elements = 0;
    for (pugi::xml_node child = document.first_child(); child; child = child.next_sibling()) {
        switch (child.type()) {
        case pugi::node_element:
            if (++elements > 1) {
                offender = child;
                reason = u"Only one top level element is allowed in an XML document.";
                return false;
            }
            break;
        case pugi::node_declaration:
            if (child != document.first_child()) {
                offender = child;
                reason = u"The XML declaration must be the first node in the document.";
                return false;
            }
            if (!CheckValues(child, reason)) {
                offender = child;
                return false;
            }
            break;
        case pugi::node_pcdata:
        case pugi::node_cdata:
            offender = child;
            reason = u"Text is not allowed outside the root element.";
            return false;
        default:
            break;
        }
    }
    if (elements == 0) {
        reason = u"The document has no root element.";
        return false;
    }

    size_t depth = 0;
    pugi::xml_node root = document.document_element();
    for (pugi::xml_node node = root; node;) {
        if (!CheckValues(node, reason)) {
            offender = node;
            return false;
        }
        if (node.first_child()) {
            node = node.first_child();
            if (++depth >= xmltext::kMaxElementDepth && node.type() == pugi::node_element) {
                offender = node;
                reason = u"The elements are nested too deeply.";
                return false;
            }
            continue;
        }
        while (node != root && !node.next_sibling()) {
            node = node.parent();
            --depth;
        }
        if (node == root)
            break;
        node = node.next_sibling();
    }
    return true;
}

// Whether a node of this type may be put at the top of `document` (a
// document node) in place of `replaced` (or added, when it is empty): one
// root element, comments and processing instructions.
bool AllowedAtTop(pugi::xml_node document, pugi::xml_node_type type, pugi::xml_node replaced)
{
    if (document.type() != pugi::node_document)
        return false;
    if (type == pugi::node_comment || type == pugi::node_pi)
        return true;
    if (type != pugi::node_element)
        return false;
    for (pugi::xml_node child = document.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element && child != replaced)
            return false;
    return true;
}

} // namespace

MSXML6Store::MSXML6Store() : XMLStoreBase(u"XMLStore") {}

MSXML6Store::~MSXML6Store() { ReleaseAll(); }

void MSXML6Store::ReleaseAll()
{
    ClearContext();
    m_nodeList.reset();
    m_document.reset();
}

pugi::xml_node MSXML6Store::Context() const { return m_contextNode ? m_contextNode->Node() : pugi::xml_node(); }

const std::shared_ptr<XMLDocumentData>& MSXML6Store::ContextDocument() const
{
    return m_contextNode ? m_contextNode->Document() : m_document;
}

void MSXML6Store::ClearContext()
{
    if (m_contextNode)
        m_contextNode->Release();
    m_contextNode = nullptr;
}

void MSXML6Store::MoveContext(const std::shared_ptr<XMLDocumentData>& document, pugi::xml_node node)
{
    XMLNodeRef* next = XMLNodeRef::Create(document, node);
    ClearContext();
    m_contextNode = next;
}

// Document and text

BOOL MSXML6Store::Initialize()
{
    ReleaseAll();
    m_document = std::shared_ptr<XMLDocumentData>(new (std::nothrow) XMLDocumentData);
    m_lastResult = m_document ? S_OK : E_OUTOFMEMORY;
    if (!m_document) {
        if (IsLogging(LOG_ERROR))
            LogError(u"MSXML6Store::Initialize failed, hr=%x", m_lastResult);
        return FALSE;
    }
    return TRUE;
}

void MSXML6Store::Destroy() { delete this; }

void MSXML6Store::SetParseError(LONG line, std::u16string reason)
{
    m_parseErrorLine = line;
    m_parseErrorReason = std::move(reason);
}

HRESULT MSXML6Store::LoadText(std::u16string_view text)
{
    SetParseError(0, {});
    size_t invalid = xmltext::FindInvalidCharacter(text);
    if (invalid != std::u16string_view::npos) {
        LONG line = 1;
        for (size_t i = 0; i < invalid; ++i)
            if (text[i] == u'\n')
                ++line;
        SetParseError(line, u"An invalid character was found in text content.");
        return S_FALSE;
    }

    std::string utf8 = Utf16ToUtf8(text);
    // The declaration is kept as the first child; whitespace-only text is
    // dropped. The parser reads a fragment so that text and extra elements
    // at the top stay visible to the document checks below, and leaves the
    // references to them: it would keep one to an unknown entity as text.
    unsigned options = (pugi::parse_default | pugi::parse_declaration | pugi::parse_comments | pugi::parse_pi |
                        pugi::parse_doctype | pugi::parse_fragment) &
                       ~pugi::parse_escapes;
    pugi::xml_document& document = m_document->document;
    pugi::xml_parse_result parsed = document.load_buffer(utf8.data(), utf8.size(), options, pugi::encoding_utf8);
    if (!parsed) {
        SetParseError(LineAt(utf8, static_cast<size_t>(parsed.offset)), Utf8ToUtf16(parsed.description()));
        document.reset();
        return S_FALSE;
    }
    pugi::xml_node offender;
    std::u16string reason;
    if (!CheckDocument(document, offender, reason)) {
        ptrdiff_t offset = offender ? offender.offset_debug() : -1;
        SetParseError(offset >= 0 ? LineAt(utf8, static_cast<size_t>(offset)) : LineAt(utf8, utf8.size()),
                      std::move(reason));
        document.reset();
        return S_FALSE;
    }
    return S_OK;
}

BOOL MSXML6Store::ParseXML(const WCHAR* text)
{
    ReleaseAll();
    Initialize();
    if (!m_document)
        return FALSE;
    try {
        m_lastResult = LoadText(View(text));
    } catch (const std::bad_alloc&) {
        m_document->document.reset();
        SetParseError(0, u"Out of memory.");
        m_lastResult = E_OUTOFMEMORY;
    }
    if (m_lastResult != S_OK && IsLogging(LOG_ERROR))
        LogError(u"Parse error in line %d: %s\n", m_parseErrorLine, m_parseErrorReason.c_str());
    return m_lastResult == S_OK;
}

BSTR MSXML6Store::GenerateXML()
{
    if (!m_document)
        return nullptr;
    pugi::xml_node root = m_document->document.document_element();
    if (!root)
        return nullptr;
    return Markup(root);
}

BSTR MSXML6Store::GenerateXMLFromContext()
{
    pugi::xml_node context = Context();
    if (!context)
        return nullptr; // read as the empty string
    return Markup(context);
}

BSTR MSXML6Store::Markup(pugi::xml_node node)
{
    try {
        BSTR xml = MakeBSTR(xmltext::NodeMarkup(node));
        m_lastResult = xml ? S_OK : E_OUTOFMEMORY;
        return xml;
    } catch (const std::bad_alloc&) {
        m_lastResult = E_OUTOFMEMORY;
        return nullptr;
    }
}

BOOL MSXML6Store::SaveToFile(const WCHAR* path)
{
    if (!m_document || !path)
        return FALSE;
    // The document's own declaration, if any, is written as its first node,
    // and the bytes follow the encoding it names (UTF-8 unless it says UTF-16).
    pugi::xml_node declaration = m_document->document.first_child();
    bool utf16 = declaration.type() == pugi::node_declaration &&
                 strcasecmp(declaration.attribute("encoding").value(), "UTF-16") == 0;
    unsigned flags = pugi::format_raw | pugi::format_no_declaration | (utf16 ? pugi::format_write_bom : 0);
    bool saved = m_document->document.save_file(Utf16ToUtf8(path).c_str(), "", flags,
                                                utf16 ? pugi::encoding_utf16_le : pugi::encoding_utf8);
    m_lastResult = saved ? S_OK : E_FAIL;
    return saved;
}

BOOL MSXML6Store::LoadFromFile(const WCHAR* path)
{
    ReleaseAll();
    Initialize();
    if (!m_document)
        return FALSE;
    if (!path)
        return FALSE;
    try {
        std::ifstream file(Utf16ToUtf8(path), std::ios::binary);
        if (!file) {
            SetParseError(0, u"The system cannot locate the object specified.");
            m_lastResult = S_FALSE;
            return FALSE;
        }
        // Read in pieces up to the cap: the size a file reports cannot be trusted (a device reports 0).
        std::string bytes;
        char piece[65536];
        while (file.read(piece, sizeof piece) || file.gcount() > 0) {
            bytes.append(piece, static_cast<size_t>(file.gcount()));
            if (bytes.size() > kMaxFileBytes) {
                SetParseError(0, u"The file is too large.");
                m_lastResult = S_FALSE;
                return FALSE;
            }
        }
        std::u16string text;
        if (!xmltext::DecodeXmlFile(bytes, text)) {
            SetParseError(1, u"Invalid byte sequence for the document's encoding.");
            m_lastResult = S_FALSE;
            return FALSE;
        }
        m_lastResult = LoadText(text);
    } catch (const std::bad_alloc&) {
        m_document->document.reset();
        m_lastResult = E_OUTOFMEMORY;
    }
    return m_lastResult == S_OK;
}

void MSXML6Store::DumpContext()
{
    // A store may run inside a service, where no one could close a message
    // box: the dump goes to the data log name instead.
    if (!IsDataLogging(LOG_TRACE))
        return;
    pugi::xml_node context = Context();
    if (!context) {
        LogDataTrace(u"Document from Context: %s", u"Context is Null.");
        return;
    }
    std::u16string xml = xmltext::NodeMarkup(context);
    LogDataTrace(u"Document from Context: %s", xml.c_str());
}

// Navigation

BOOL MSXML6Store::SetContext(const WCHAR* path)
{
    if (!path)
        return FALSE;
    if (View(path) == u"..")
        return SeekParent();
    m_nodeList.reset();
    if (!m_document)
        return FALSE;

    pugi::xml_node context = Context();
    bool fromDocument = !context || path[0] == u'/';
    const std::shared_ptr<XMLDocumentData>& document = fromDocument ? m_document : ContextDocument();
    pugi::xml_node from = fromDocument ? pugi::xml_node(m_document->document) : context;
    try {
        pugi::xpath_query query(Utf16ToUtf8(path).c_str());
        pugi::xpath_node_set selection = query.evaluate_node_set(from);
        auto list = std::make_unique<XMLNodeList>(document);
        list->nodes.reserve(selection.size());
        for (const pugi::xpath_node& selected : selection)
            if (selected.node()) // attribute results are not context nodes
                list->nodes.push_back(selected.node());
        m_nodeList = std::move(list);
    } catch (const pugi::xpath_exception&) {
        m_lastResult = E_FAIL;
        return FALSE;
    } catch (const std::bad_alloc&) {
        m_lastResult = E_OUTOFMEMORY;
        return FALSE;
    }
    // The result is that of taking the first node: an empty selection is a
    // failure, and the context stays where it was.
    m_lastResult = S_FALSE;
    if (!m_nodeList->nodes.empty()) {
        m_nodeList->next = 1;
        MoveContext(m_nodeList->document, m_nodeList->nodes[0]);
        m_lastResult = S_OK;
    }
    return m_lastResult == S_OK;
}

BOOL MSXML6Store::SeekRootNode()
{
    BOOL result = SetContext(u"/");
    if (result)
        SeekFirstChild();
    return result;
}

BOOL MSXML6Store::SeekParent()
{
    pugi::xml_node context = Context();
    if (!context)
        return FALSE;
    pugi::xml_node parent = context.parent();
    if (!parent)
        return FALSE;
    MoveContext(ContextDocument(), parent);
    return TRUE;
}

BOOL MSXML6Store::SeekFirstChild() { return SeekTo(&pugi::xml_node::first_child); }

BOOL MSXML6Store::SeekNextSibling() { return SeekTo(&pugi::xml_node::next_sibling); }

BOOL MSXML6Store::SeekTo(pugi::xml_node (pugi::xml_node::*step)() const)
{
    if (!Context() && !SeekRootNode())
        return FALSE;
    pugi::xml_node next = (Context().*step)();
    m_lastResult = next ? S_OK : S_FALSE;
    if (next)
        MoveContext(ContextDocument(), next);
    return m_lastResult == S_OK;
}

BOOL MSXML6Store::SeekNextMatch()
{
    if (!Context() || !m_nodeList)
        return FALSE;
    // Entries emptied by a removal since the selection are passed over.
    while (m_nodeList->next < m_nodeList->nodes.size()) {
        pugi::xml_node node = m_nodeList->nodes[m_nodeList->next++];
        if (node) {
            MoveContext(m_nodeList->document, node);
            return TRUE;
        }
    }
    return FALSE;
}

XMLNodeRef* MSXML6Store::GetContextNode()
{
    if (!Context())
        return nullptr;
    m_contextNode->AddRef();
    return m_contextNode;
}

void MSXML6Store::ReleaseNode(XMLNodeRef* node)
{
    if (node)
        node->Release();
}

void MSXML6Store::SetContextNode(XMLNodeRef* node)
{
    if (node)
        node->AddRef();
    ClearContext();
    m_contextNode = node;
}

// Node names

BOOL MSXML6Store::GetCurrentNodeName(WCHAR* buffer, DWORD length)
{
    if (!buffer || length == 0)
        return FALSE;
    if (!Context() && !SeekRootNode())
        return FALSE;
    xmltext::CopyCut(xmltext::NodeName(Context()), buffer, length);
    m_lastResult = S_OK;
    return TRUE;
}

DWORD MSXML6Store::GetCurrentNodeNameLength()
{
    if (!Context() && !SeekRootNode())
        return 0;
    return static_cast<DWORD>(xmltext::NodeName(Context()).size());
}

BSTR MSXML6Store::GetCurrentNodeNameBSTR()
{
    pugi::xml_node context = Context();
    if (!context)
        return nullptr;
    BSTR name = MakeBSTR(xmltext::NodeName(context));
    m_lastResult = name ? S_OK : E_OUTOFMEMORY;
    return name;
}

// Element text

HRESULT MSXML6Store::PutText(pugi::xpath_node target, std::u16string_view value)
{
    std::string text = Utf16ToUtf8(value);
    if (pugi::xml_attribute attribute = target.attribute())
        return attribute.set_value(text.c_str()) ? S_OK : E_FAIL;
    pugi::xml_node node = target.node();
    switch (node.type()) {
    case pugi::node_element: {
        // The text replaces everything below the element.
        const std::shared_ptr<XMLDocumentData>& document = ContextDocument();
        if (document)
            document->ForgetChildren(node);
        while (node.first_child())
            node.remove_child(node.first_child());
        if (!text.empty() && !node.append_child(pugi::node_pcdata).set_value(text.c_str()))
            return E_FAIL;
        return S_OK;
    }
    case pugi::node_cdata:
    case pugi::node_comment:
    case pugi::node_pi:
        // These hold no character references: what XML does not allow raw,
        // control characters among it, could not be written.
        if (xmltext::FindInvalidCharacter(value) != std::u16string_view::npos)
            return E_FAIL;
        return node.set_value(text.c_str()) ? S_OK : E_FAIL;
    case pugi::node_pcdata:
        return node.set_value(text.c_str()) ? S_OK : E_FAIL;
    default:
        return E_FAIL;
    }
}

BOOL MSXML6Store::SelectOne(const WCHAR* name, pugi::xpath_node& found)
{
    found = pugi::xpath_node();
    pugi::xml_node context = Context();
    if (!context || !name)
        return FALSE;
    try {
        pugi::xpath_query query(Utf16ToUtf8(name).c_str());
        found = query.evaluate_node(context);
        m_lastResult = found ? S_OK : S_FALSE;
    } catch (const pugi::xpath_exception&) {
        m_lastResult = E_FAIL;
    } catch (const std::bad_alloc&) {
        m_lastResult = E_OUTOFMEMORY;
    }
    return m_lastResult == S_OK;
}

BOOL MSXML6Store::AcceptText(const WCHAR* text)
{
    if (xmltext::IsXmlText(View(text)))
        return TRUE;
    m_lastResult = E_FAIL;
    return FALSE;
}

BOOL MSXML6Store::SetString(const WCHAR* value)
{
    pugi::xml_node context = Context();
    if (!context || !AcceptText(value))
        return FALSE;
    m_lastResult = PutText(pugi::xpath_node(context), View(value));
    return m_lastResult == S_OK;
}

BOOL MSXML6Store::SetStringByName(const WCHAR* name, const WCHAR* value)
{
    pugi::xml_node context = Context();
    if (!context || !name || !AcceptText(value))
        return FALSE;

    pugi::xpath_node found;
    if (SelectOne(name, found)) {
        m_lastResult = PutText(found, View(value));
        return m_lastResult == S_OK;
    }
    if (xmltext::NodeName(context) == View(name)) {
        m_lastResult = PutText(pugi::xpath_node(context), View(value));
        return m_lastResult == S_OK;
    }

    // A new child element with the text; the text itself decides nothing.
    pugi::xml_node created;
    if (xmltext::IsXmlName(View(name)) &&
        (context.type() == pugi::node_element || AllowedAtTop(context, pugi::node_element, pugi::xml_node())))
        created = context.append_child(Utf16ToUtf8(name).c_str());
    m_lastResult = created ? S_OK : E_FAIL;
    if (!created) {
        // No message box here: the store runs inside the service too, where
        // no one could close it.
        if (IsLogging(LOG_ERROR))
            LogError(u"SetString \"%s\" failing, hr=%x\n", name, m_lastResult);
        return FALSE;
    }
    PutText(pugi::xpath_node(created), View(value));
    return TRUE;
}

BOOL MSXML6Store::SetInt(LONG value) { return SetString(ToWide(value).c_str()); }

BOOL MSXML6Store::SetIntByName(const WCHAR* name, LONG value) { return SetStringByName(name, ToWide(value).c_str()); }

BOOL MSXML6Store::GetString(WCHAR* buffer, DWORD length)
{
    pugi::xml_node context = Context();
    if (!context || !buffer || length == 0)
        return FALSE;
    xmltext::CopyCut(xmltext::NodeText(context), buffer, length);
    return TRUE;
}

namespace {

std::u16string TextOf(const pugi::xpath_node& found)
{
    if (found.attribute())
        return Utf8ToUtf16(found.attribute().value());
    return xmltext::NodeText(found.node());
}

} // namespace

BOOL MSXML6Store::GetStringByName(const WCHAR* name, WCHAR* buffer, DWORD length)
{
    if (!name || !buffer || length == 0 || !Context())
        return FALSE;
    pugi::xpath_node found;
    if (!SelectOne(name, found))
        return FALSE;
    xmltext::CopyCut(TextOf(found), buffer, length);
    return TRUE;
}

DWORD MSXML6Store::GetStringLength()
{
    pugi::xml_node context = Context();
    return context ? static_cast<DWORD>(xmltext::NodeText(context).size()) : 0;
}

DWORD MSXML6Store::GetStringLengthByName(const WCHAR* name)
{
    pugi::xpath_node found;
    if (!SelectOne(name, found))
        return 0;
    return static_cast<DWORD>(TextOf(found).size());
}

LONG MSXML6Store::GetInt(LONG defaultValue)
{
    WCHAR text[32];
    if (!GetString(text, 32))
        return defaultValue;
    return xmltext::ParseDecimal(text);
}

LONG MSXML6Store::GetIntByName(const WCHAR* name, LONG defaultValue)
{
    WCHAR text[32];
    if (!GetStringByName(name, text, 32))
        return defaultValue;
    return xmltext::ParseDecimal(text);
}

// Attributes

BOOL MSXML6Store::SetAttribute(const WCHAR* name, const WCHAR* value)
{
    pugi::xml_node context = Context();
    if (context.type() != pugi::node_element || !name)
        return FALSE;
    if (!xmltext::IsXmlName(View(name)) || !AcceptText(value)) {
        m_lastResult = E_FAIL;
        return FALSE;
    }
    std::string attributeName = Utf16ToUtf8(name);
    pugi::xml_attribute attribute = context.attribute(attributeName.c_str());
    if (!attribute)
        attribute = context.append_attribute(attributeName.c_str());
    m_lastResult = attribute && attribute.set_value(Utf16ToUtf8(View(value)).c_str()) ? S_OK : E_FAIL;
    return m_lastResult == S_OK;
}

namespace {

// The attribute map exists for elements and the declaration.
pugi::xml_attribute FindAttribute(pugi::xml_node node, const WCHAR* name)
{
    if (!name || (node.type() != pugi::node_element && node.type() != pugi::node_declaration))
        return pugi::xml_attribute();
    return node.attribute(Utf16ToUtf8(name).c_str());
}

} // namespace

BOOL MSXML6Store::GetAttribute(const WCHAR* name, WCHAR* buffer, DWORD length)
{
    if (!buffer || length == 0)
        return FALSE;
    pugi::xml_attribute attribute = FindAttribute(Context(), name);
    if (!attribute)
        return FALSE;
    xmltext::CopyCut(Utf8ToUtf16(attribute.value()), buffer, length);
    return TRUE;
}

DWORD MSXML6Store::GetAttributeLength(const WCHAR* name)
{
    pugi::xml_attribute attribute = FindAttribute(Context(), name);
    return attribute ? static_cast<DWORD>(Utf8ToUtf16(attribute.value()).size()) : 0;
}

BOOL MSXML6Store::SetAttributeInt(const WCHAR* name, LONG value) { return SetAttribute(name, ToWide(value).c_str()); }

LONG MSXML6Store::GetAttributeInt(const WCHAR* name, LONG defaultValue)
{
    WCHAR text[64];
    if (!GetAttribute(name, text, 64))
        return defaultValue;
    return xmltext::ParseDecimal(text);
}

BOOL MSXML6Store::RemoveAttribute(const WCHAR* name)
{
    pugi::xml_node context = Context();
    if (context.type() != pugi::node_element || !name)
        return FALSE;
    m_lastResult = context.remove_attribute(Utf16ToUtf8(name).c_str()) ? S_OK : S_FALSE;
    return m_lastResult == S_OK;
}

// Structure

BOOL MSXML6Store::CreateNode(const WCHAR* name)
{
    if (!m_document || !name)
        return FALSE;
    if (!xmltext::IsXmlName(View(name))) {
        m_lastResult = E_FAIL;
        return FALSE;
    }
    pugi::xml_node context = Context();
    const std::shared_ptr<XMLDocumentData>& document = context ? ContextDocument() : m_document;
    pugi::xml_node parent = context ? context : pugi::xml_node(m_document->document);
    pugi::xml_node created;
    if (parent.type() == pugi::node_element || AllowedAtTop(parent, pugi::node_element, pugi::xml_node()))
        created = parent.append_child(Utf16ToUtf8(name).c_str());
    m_lastResult = created ? S_OK : E_FAIL;
    if (created)
        MoveContext(document, created);
    return m_lastResult == S_OK;
}

pugi::xml_node MSXML6Store::InsertClone(pugi::xml_node parent, pugi::xml_node source, pugi::xml_node replaced)
{
    if (parent.type() != pugi::node_element && !AllowedAtTop(parent, source.type(), replaced))
        return pugi::xml_node();
    // A node copied into its own document is copied out first, so that a
    // node copied below itself is copied as it was.
    pugi::xml_document scratch;
    if (source.root() == parent.root()) {
        source = scratch.append_copy(source);
        if (!source)
            return pugi::xml_node();
    }
    return replaced ? parent.insert_copy_before(source, replaced) : parent.append_copy(source);
}

BOOL MSXML6Store::ImportNode(XMLStoreBase* other)
{
    auto* source = dynamic_cast<MSXML6Store*>(other);
    if (!source || !source->Context())
        return FALSE;
    pugi::xml_node context = Context();
    if (!context)
        return FALSE;
    try {
        pugi::xml_node clone = InsertClone(context, source->Context(), pugi::xml_node());
        m_lastResult = clone ? S_OK : E_FAIL;
        if (clone)
            MoveContext(ContextDocument(), clone);
    } catch (const std::bad_alloc&) {
        m_lastResult = E_OUTOFMEMORY;
    }
    return m_lastResult == S_OK;
}

BOOL MSXML6Store::ReplaceNode(XMLStoreBase* other)
{
    auto* source = dynamic_cast<MSXML6Store*>(other);
    pugi::xml_node context = Context();
    if (!source || !source->Context() || !context)
        return FALSE;
    pugi::xml_node parent = context.parent();
    if (!parent)
        return FALSE;
    try {
        pugi::xml_node clone = InsertClone(parent, source->Context(), context);
        m_lastResult = clone ? S_OK : E_FAIL;
        if (!clone)
            return FALSE;
        std::shared_ptr<XMLDocumentData> document = ContextDocument();
        document->ForgetSubtree(context);
        parent.remove_child(context);
        MoveContext(document, clone);
    } catch (const std::bad_alloc&) {
        m_lastResult = E_OUTOFMEMORY;
    }
    return m_lastResult == S_OK;
}

BOOL MSXML6Store::RemoveNode()
{
    pugi::xml_node context = Context();
    if (!context)
        return FALSE;
    pugi::xml_node parent = context.parent();
    if (!parent)
        return FALSE;
    std::shared_ptr<XMLDocumentData> document = ContextDocument();
    document->ForgetSubtree(context);
    parent.remove_child(context);
    MoveContext(document, parent);
    return TRUE;
}

// Texts as new BSTRs

BOOL MSXML6Store::GetStringByNameBSTR(const WCHAR* name, BSTR* value)
{
    if (!value)
        return FALSE;
    *value = nullptr;
    pugi::xpath_node found;
    if (!SelectOne(name, found))
        return FALSE;
    *value = MakeBSTR(TextOf(found));
    return *value != nullptr;
}

BOOL MSXML6Store::GetAttributeBSTR(const WCHAR* name, BSTR* value)
{
    if (!value)
        return FALSE;
    *value = nullptr;
    pugi::xml_attribute attribute = FindAttribute(Context(), name);
    if (!attribute)
        return FALSE;
    *value = MakeBSTR(Utf8ToUtf16(attribute.value()));
    return *value != nullptr;
}

BOOL MSXML6Store::GetStringBSTR(BSTR* value)
{
    if (!value)
        return FALSE;
    *value = nullptr;
    pugi::xml_node context = Context();
    if (!context)
        return FALSE;
    *value = MakeBSTR(xmltext::NodeText(context));
    return *value != nullptr;
}

MSXML6Store* CreateMSXML6Store()
{
    MSXML6Store* store = new (std::nothrow) MSXML6Store;
    if (!store)
        return nullptr;
    if (!store->Initialize()) {
        store->Destroy();
        return nullptr;
    }
    return store;
}
