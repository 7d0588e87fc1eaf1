// Loads whatever the fuzzer makes up and then navigates, reads, changes and
// writes it with paths, names and values that also come from the input. No
// input may crash the store, hang it or make it touch freed memory, and
// whatever the store holds after each step it must write as XML that it
// reads back, to a document that it writes the same way again.
//
// Input: the document's UTF-8 bytes (a byte-order mark allowed), a zero
// byte, then steps: one byte choosing the operation followed by its texts,
// each ended by a zero byte. Texts are UTF-8; the byte 0x01 followed by two bytes puts
// that UTF-16 code unit (little-endian) in the text, so that texts can hold
// what UTF-8 cannot, such as lone surrogates.
#include "diag/MSXML6Store.h"
#include "diag/XMLText.h"

#include "platform/base/strings.h"
#include "platform/oleauto/bstr.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace {

struct StoreDeleter {
    void operator()(MSXML6Store* store) const { store->Destroy(); }
};
using StorePtr = std::unique_ptr<MSXML6Store, StoreDeleter>;

// The input, taken apart as the steps ask for it.
class Script {
public:
    Script(const std::uint8_t* data, std::size_t size) : m_rest(reinterpret_cast<const char*>(data), size) {}

    bool Done() const { return m_rest.empty(); }
    std::string_view Bytes()
    {
        std::size_t end = m_rest.find('\0');
        std::string_view bytes = m_rest.substr(0, end);
        m_rest.remove_prefix(end == std::string_view::npos ? m_rest.size() : end + 1);
        return bytes;
    }
    std::uint8_t Byte()
    {
        std::uint8_t byte = m_rest.empty() ? 0 : static_cast<std::uint8_t>(m_rest[0]);
        m_rest.remove_prefix(m_rest.empty() ? 0 : 1);
        return byte;
    }
    std::u16string Text()
    {
        std::u16string text;
        std::string utf8;
        while (!m_rest.empty() && m_rest[0] != '\0') {
            if (m_rest[0] == '\x01' && m_rest.size() >= 3) {
                text += Utf8ToUtf16(utf8);
                utf8.clear();
                text += static_cast<char16_t>(static_cast<std::uint8_t>(m_rest[1]) |
                                              static_cast<std::uint8_t>(m_rest[2]) << 8);
                m_rest.remove_prefix(3);
            } else {
                utf8 += m_rest[0];
                m_rest.remove_prefix(1);
            }
        }
        m_rest.remove_prefix(m_rest.empty() ? 0 : 1);
        return text + Utf8ToUtf16(utf8);
    }
    LONG Number() { return xmltext::ParseDecimal(Text().c_str()); }

private:
    std::string_view m_rest;
};

std::u16string Take(BSTR text)
{
    std::u16string value = text ? std::u16string(text, SysStringLen(text)) : std::u16string();
    SysFreeString(text);
    return value;
}

// The document a text reads back to, written again; traps when the text
// does not read back at all.
std::u16string ReadBack(const std::u16string& xml)
{
    static MSXML6Store* const reader = CreateMSXML6Store();
    if (!reader->ParseXML(xml.c_str()))
        __builtin_trap();
    return Take(reader->GenerateXML());
}

// What the store writes it must read back, and what it reads back it must
// write the same way again. The first reading may differ from the store's
// own document only as XML reading does: line ends become LF, and text
// nodes that are empty or blank are not kept.
void CheckRoundTrip(MSXML6Store& store)
{
    const std::u16string xml = Take(store.GenerateXML());
    if (xml.empty())
        return;
    const std::u16string read = ReadBack(xml);
    if (ReadBack(read) != read)
        __builtin_trap();
}

// The other store of ImportNode and ReplaceNode: a document and a path.
StorePtr Other(Script& script)
{
    StorePtr other(CreateMSXML6Store());
    std::u16string text = script.Text();
    std::u16string path = script.Text();
    if (other && other->ParseXML(text.c_str()))
        other->SetContext(path.c_str());
    return other;
}

void Step(MSXML6Store& store, Script& script)
{
    WCHAR buffer[16];
    // clang-format off
    switch (script.Byte() % 21) {
    case 0: store.SetContext(script.Text().c_str()); break;
    case 1: store.SeekRootNode(); break;
    case 2: store.SeekParent(); break;
    case 3: store.SeekFirstChild(); break;
    case 4: store.SeekNextSibling(); break;
    case 5: store.SeekNextMatch(); break;
    case 6:
        store.GetCurrentNodeName(buffer, 16);
        store.GetCurrentNodeNameLength();
        SysFreeString(store.GetCurrentNodeNameBSTR());
        break;
    case 7: store.CreateNode(script.Text().c_str()); break;
    case 8: store.RemoveNode(); break;
    case 9: {
        std::u16string name = script.Text();
        store.SetAttribute(name.c_str(), script.Text().c_str());
        break;
    }
    case 10: {
        std::u16string name = script.Text();
        store.SetAttributeInt(name.c_str(), script.Number());
        break;
    }
    case 11: {
        std::u16string name = script.Text();
        BSTR value = nullptr;
        store.GetAttribute(name.c_str(), buffer, 16);
        store.GetAttributeLength(name.c_str());
        store.GetAttributeInt(name.c_str(), -1);
        store.GetAttributeBSTR(name.c_str(), &value);
        SysFreeString(value);
        break;
    }
    case 12: store.RemoveAttribute(script.Text().c_str()); break;
    case 13: store.SetString(script.Text().c_str()); break;
    case 14: {
        std::u16string name = script.Text();
        store.SetStringByName(name.c_str(), script.Text().c_str());
        break;
    }
    case 15: {
        std::u16string name = script.Text();
        store.SetIntByName(name.c_str(), script.Number());
        break;
    }
    case 16: {
        std::u16string name = script.Text();
        BSTR value = nullptr;
        store.GetString(buffer, 16);
        store.GetStringLength();
        store.GetInt(0);
        store.GetStringByName(name.c_str(), buffer, 16);
        store.GetStringLengthByName(name.c_str());
        store.GetIntByName(name.c_str(), 0);
        store.GetStringByNameBSTR(name.c_str(), &value);
        SysFreeString(value);
        break;
    }
    case 17: {
        StorePtr other = Other(script);
        if (other)
            store.ImportNode(other.get());
        break;
    }
    case 18: {
        StorePtr other = Other(script);
        if (other)
            store.ReplaceNode(other.get());
        break;
    }
    case 19: {
        // Saved in the encoding the declaration names, loaded back the same.
        const char16_t* path = u"xmlstore_fuzz.xml";
        const std::u16string saved = Take(store.GenerateXML());
        StorePtr loaded(CreateMSXML6Store());
        if (!saved.empty() && store.SaveToFile(path) && loaded &&
            (!loaded->LoadFromFile(path) || Take(loaded->GenerateXML()) != ReadBack(saved)))
            __builtin_trap();
        break;
    }
    default: {
        // A node held across moves is a valid context again later.
        XMLNodeRef* node = store.GetContextNode();
        store.SeekParent();
        SysFreeString(store.GenerateXMLFromContext());
        if (node) {
            store.SetContextNode(node);
            store.ReleaseNode(node);
        }
        break;
    }
    }
    // clang-format on
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Script script(data, size);
    std::string_view bytes = script.Bytes();
    // Decoded as a file's bytes are; what is not valid UTF-8 is read with its
    // bad sequences replaced.
    std::u16string text;
    if (!xmltext::DecodeXmlFile(bytes, text))
        text = Utf8ToUtf16(bytes);

    StorePtr store(CreateMSXML6Store());
    if (!store)
        return 0;
    store->ParseXML(text.c_str());
    CheckRoundTrip(*store);
    for (int steps = 0; !script.Done() && steps < 64; ++steps) {
        Step(*store, script);
        CheckRoundTrip(*store);
    }
    return 0;
}
