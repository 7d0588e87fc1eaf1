#include "pipeline/XMLObj.h"

#include "pipeline/TypeLibrary.h"

#include <climits>
#include <memory>
#include <new>

namespace {

HRESULT Map(BOOL answer) { return answer ? S_OK : S_FALSE; }

// A null BSTR is the empty string.
const WCHAR* Text(BSTR text) { return text ? text : u""; }

// Store lengths are unsigned; anything past INT_MAX counts as none.
INT ToInt(DWORD length) { return length > static_cast<DWORD>(INT_MAX) ? 0 : static_cast<INT>(length); }

} // namespace

HRESULT CXMLObj::Create(IUnknown* outer, REFIID riid, void** ppv)
{
    return plat::CreateComObject<CXMLObj>(outer, riid, ppv, true);
}

CXMLObj::CXMLObj(IUnknown* outer) : CComObjectRoot(outer), DispatchImpl(XMLObjTypeInfo()) {}

CXMLObj::~CXMLObj()
{
    if (m_store)
        m_store->Destroy();
}

void* CXMLObj::GetInterface(REFIID riid)
{
    if (riid == IID_IXMLObj || riid == IID_IDispatch)
        return static_cast<IXMLObj*>(this);
    return nullptr;
}

template <class Read>
HRESULT CXMLObj::ReadText(DWORD length, Read read, BSTR* out)
{
    std::unique_ptr<WCHAR[]> buffer(new (std::nothrow) WCHAR[static_cast<size_t>(length) + 1]());
    if (!buffer)
        return kXMLObjNoStore;
    if (!read(buffer.get(), length + 1))
        return S_FALSE;
    *out = SysAllocString(buffer.get());
    return *out ? S_OK : kXMLObjNoStore;
}

template <class Read>
HRESULT CXMLObj::ReadTextOrDefault(DWORD length, BSTR bstrDefault, Read read, BSTR* out)
{
    if (ToInt(length) <= 0) {
        if (!bstrDefault)
            return S_OK;
        *out = SysAllocStringLen(bstrDefault, SysStringLen(bstrDefault));
        return *out ? S_OK : kXMLObjNoStore;
    }
    return ReadText(length, read, out);
}

HRESULT CXMLObj::Initialize()
{
    MSXML6Store* store = CreateMSXML6Store();
    if (!store)
        return kXMLObjCannotCreate;
    // The earlier store goes only once its successor exists.
    if (m_store)
        m_store->Destroy();
    m_store = store;
    return Map(m_store->Initialize());
}

HRESULT CXMLObj::ParseXML(BSTR bstrXml)
{
    if (!m_store)
        return kXMLObjNoStore;
    return Map(m_store->ParseXML(Text(bstrXml)));
}

HRESULT CXMLObj::GenerateXML(BSTR* bstrXml)
{
    if (!m_store || !bstrXml)
        return kXMLObjNoStore;
    *bstrXml = m_store->GenerateXML();
    return S_OK;
}

HRESULT CXMLObj::GenerateXMLFromContext(BSTR* bstrXml)
{
    if (!m_store || !bstrXml)
        return kXMLObjNoStore;
    *bstrXml = m_store->GenerateXMLFromContext();
    return S_OK;
}

HRESULT CXMLObj::SetContext(BSTR pbstrPath)
{
    if (!m_store)
        return kXMLObjNoStore;
    return Map(m_store->SetContext(Text(pbstrPath)));
}

HRESULT CXMLObj::SeekRootNode()
{
    if (!m_store)
        return kXMLObjNoStore;
    return Map(m_store->SeekRootNode());
}

HRESULT CXMLObj::SeekFirstChild()
{
    if (!m_store)
        return kXMLObjNoStore;
    return Map(m_store->SeekFirstChild());
}

HRESULT CXMLObj::SeekNextSibling()
{
    if (!m_store)
        return kXMLObjNoStore;
    return Map(m_store->SeekNextSibling());
}

HRESULT CXMLObj::SeekNextMatch()
{
    if (!m_store)
        return kXMLObjNoStore;
    return Map(m_store->SeekNextMatch());
}

HRESULT CXMLObj::GetCurrentNodeName(BSTR* pbstrName)
{
    if (!m_store || !pbstrName)
        return kXMLObjNoStore;
    *pbstrName = nullptr;
    DWORD length = m_store->GetCurrentNodeNameLength();
    if (ToInt(length) <= 0)
        return kXMLObjNoStore;
    return ReadText(
        length, [this](WCHAR* buffer, DWORD size) { return m_store->GetCurrentNodeName(buffer, size); }, pbstrName);
}

HRESULT CXMLObj::CreateNode(BSTR bstrName)
{
    if (!m_store)
        return kXMLObjNoStore;
    return Map(m_store->CreateNode(bstrName));
}

HRESULT CXMLObj::RemoveNode()
{
    if (!m_store)
        return kXMLObjNoStore;
    return Map(m_store->RemoveNode());
}

HRESULT CXMLObj::SetAttribute(BSTR bstrName, BSTR bstrValue)
{
    if (!m_store)
        return kXMLObjNoStore;
    return Map(m_store->SetAttribute(bstrName, Text(bstrValue)));
}

HRESULT CXMLObj::GetAttribute(BSTR bstrName, BSTR bstrDefault, BSTR* pbstrValue)
{
    if (!m_store || !bstrName || !pbstrValue)
        return kXMLObjNoStore;
    *pbstrValue = nullptr;
    return ReadTextOrDefault(
        m_store->GetAttributeLength(bstrName), bstrDefault,
        [this, bstrName](WCHAR* buffer, DWORD size) { return m_store->GetAttribute(bstrName, buffer, size); },
        pbstrValue);
}

HRESULT CXMLObj::SetAttributeInt(BSTR bstrName, INT nValue)
{
    if (!m_store)
        return kXMLObjNoStore;
    return Map(m_store->SetAttributeInt(bstrName, nValue));
}

HRESULT CXMLObj::GetAttributeInt(BSTR bstrName, INT nDefault, INT* nValue)
{
    if (!m_store || !nValue)
        return kXMLObjNoStore;
    *nValue = m_store->GetAttributeLength(bstrName) == 0 ? nDefault : m_store->GetAttributeInt(bstrName, nDefault);
    return S_OK;
}

HRESULT CXMLObj::GetAttributeLength(BSTR bstrName, INT* nLength)
{
    if (!m_store || !nLength)
        return kXMLObjNoStore;
    *nLength = ToInt(m_store->GetAttributeLength(bstrName));
    return S_OK;
}

HRESULT CXMLObj::RemoveAttribute(BSTR bstrName)
{
    if (!m_store)
        return kXMLObjNoStore;
    return Map(m_store->RemoveAttribute(bstrName));
}

HRESULT CXMLObj::SetStringByName(BSTR bstrName, BSTR bstrValue)
{
    if (!m_store)
        return kXMLObjNoStore;
    return Map(m_store->SetStringByName(bstrName, Text(bstrValue)));
}

HRESULT CXMLObj::SetIntByName(BSTR bstrName, INT nValue)
{
    if (!m_store)
        return kXMLObjNoStore;
    return Map(m_store->SetIntByName(bstrName, nValue));
}

HRESULT CXMLObj::GetStringByName(BSTR bstrName, BSTR bstrDefault, BSTR* pbstrValue)
{
    if (!m_store || !bstrName || !pbstrValue)
        return kXMLObjNoStore;
    *pbstrValue = nullptr;
    return ReadTextOrDefault(
        m_store->GetStringLengthByName(bstrName), bstrDefault,
        [this, bstrName](WCHAR* buffer, DWORD size) { return m_store->GetStringByName(bstrName, buffer, size); },
        pbstrValue);
}

HRESULT CXMLObj::GetStringLengthByName(BSTR bstrName, INT* nLen)
{
    if (!m_store || !nLen)
        return kXMLObjNoStore;
    *nLen = ToInt(m_store->GetStringLengthByName(bstrName));
    return S_OK;
}

HRESULT CXMLObj::GetIntByName(BSTR bstrName, INT nDefault, INT* nValue)
{
    if (!m_store || !nValue)
        return kXMLObjNoStore;
    *nValue = m_store->GetStringLengthByName(bstrName) == 0 ? nDefault : m_store->GetIntByName(bstrName, nDefault);
    return S_OK;
}

HRESULT CXMLObj::SaveToFile(BSTR bstrFilePath)
{
    if (!m_store)
        return kXMLObjNoStore;
    return Map(m_store->SaveToFile(Text(bstrFilePath)));
}

HRESULT CXMLObj::LoadFromFile(BSTR bstrFilePath)
{
    if (!m_store)
        return kXMLObjNoStore;
    return Map(m_store->LoadFromFile(Text(bstrFilePath)));
}

HRESULT CXMLObj::DumpContext()
{
    if (!m_store)
        return kXMLObjNoStore;
    m_store->DumpContext();
    return S_OK;
}

HRESULT CXMLObj::WithParsedNode(BSTR bstrNode, BOOL (MSXML6Store::*apply)(XMLStoreBase*))
{
    if (!m_store)
        return kXMLObjNoStore;
    MSXML6Store* node = CreateMSXML6Store();
    if (!node)
        return kXMLObjNoStore;
    HRESULT hr = kXMLObjNoStore;
    if (node->Initialize() && node->ParseXML(Text(bstrNode)) && node->SeekRootNode())
        hr = Map((m_store->*apply)(node));
    node->Destroy();
    return hr;
}

HRESULT CXMLObj::ImportNode(BSTR bstrNode) { return WithParsedNode(bstrNode, &MSXML6Store::ImportNode); }

HRESULT CXMLObj::ReplaceNode(BSTR bstrNode) { return WithParsedNode(bstrNode, &MSXML6Store::ReplaceNode); }

HRESULT CXMLObj::SeekParent()
{
    if (!m_store)
        return kXMLObjNoStore;
    return Map(m_store->SeekParent());
}

HRESULT CXMLObj::GetCurrentNodeNameLength(INT* pnLen)
{
    if (!m_store || !pnLen)
        return kXMLObjNoStore;
    *pnLen = ToInt(m_store->GetCurrentNodeNameLength());
    return S_OK;
}

HRESULT CXMLObj::SetString(BSTR bstrValue)
{
    if (!m_store)
        return kXMLObjNoStore;
    return Map(m_store->SetString(Text(bstrValue)));
}

HRESULT CXMLObj::SetInt(INT nValue)
{
    if (!m_store)
        return kXMLObjNoStore;
    return Map(m_store->SetInt(nValue));
}

HRESULT CXMLObj::GetString(BSTR bstrDefault, BSTR* pbstrValue)
{
    if (!m_store || !pbstrValue)
        return kXMLObjNoStore;
    *pbstrValue = nullptr;
    return ReadTextOrDefault(
        m_store->GetStringLength(), bstrDefault,
        [this](WCHAR* buffer, DWORD size) { return m_store->GetString(buffer, size); }, pbstrValue);
}

HRESULT CXMLObj::GetStringLength(INT* nLen)
{
    if (!m_store || !nLen)
        return kXMLObjNoStore;
    *nLen = ToInt(m_store->GetStringLength());
    return S_OK;
}

HRESULT CXMLObj::GetInt(INT nDefault, INT* nValue)
{
    if (!nValue)
        return kXMLObjNoStore;
    // Without a store this answers false rather than a failure code; the
    // value then gets the default, so a caller that only tests for failure
    // never reads a value nobody wrote.
    if (!m_store) {
        *nValue = nDefault;
        return S_FALSE;
    }
    *nValue = m_store->GetStringLength() == 0 ? nDefault : m_store->GetInt(nDefault);
    return S_OK;
}
