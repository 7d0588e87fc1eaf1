#include "pipeline/HALXML.h"

#include <climits>
#include <new>

namespace {

HRESULT Map(BOOL answer) { return answer ? S_OK : E_FAIL; }

// A null BSTR is the empty string.
const WCHAR* Text(BSTR text) { return text ? text : u""; }

// Store lengths are unsigned; anything past INT_MAX counts as none.
INT ToInt(DWORD length) { return length > static_cast<DWORD>(INT_MAX) ? 0 : static_cast<INT>(length); }

// A getter's new string: E_FAIL when the store had none to give.
HRESULT Handed(BSTR text, BSTR* out)
{
    *out = text;
    return text ? S_OK : E_FAIL;
}

} // namespace

CHALXMLStore::CHALXMLStore() : m_store(CreateMSXML6Store()) {}

CHALXMLStore::~CHALXMLStore()
{
    if (m_store)
        m_store->Destroy();
}

HRESULT CHALXMLStore::Initialize()
{
    if (!m_store)
        return E_NOINTERFACE;
    return Map(m_store->Initialize());
}

HRESULT CHALXMLStore::ParseXML(BSTR bstrXML)
{
    if (!m_store)
        return E_NOINTERFACE;
    return Map(m_store->ParseXML(Text(bstrXML)));
}

HRESULT CHALXMLStore::GenerateXML(BSTR* bstrXML)
{
    if (!m_store)
        return E_NOINTERFACE;
    if (!bstrXML)
        return E_POINTER;
    return Handed(m_store->GenerateXML(), bstrXML);
}

HRESULT CHALXMLStore::GenerateXMLFromContext(BSTR* bstrXML)
{
    if (!m_store)
        return E_NOINTERFACE;
    if (!bstrXML)
        return E_POINTER;
    *bstrXML = m_store->GenerateXMLFromContext();
    return S_OK;
}

HRESULT CHALXMLStore::SetContext(BSTR pcszPath)
{
    if (!m_store)
        return E_NOINTERFACE;
    return Map(m_store->SetContext(Text(pcszPath)));
}

HRESULT CHALXMLStore::SeekRootNode()
{
    if (!m_store)
        return E_NOINTERFACE;
    return Map(m_store->SeekRootNode());
}

HRESULT CHALXMLStore::SeekFirstChild()
{
    if (!m_store)
        return E_NOINTERFACE;
    return Map(m_store->SeekFirstChild());
}

HRESULT CHALXMLStore::SeekNextSibling()
{
    if (!m_store)
        return E_NOINTERFACE;
    return Map(m_store->SeekNextSibling());
}

HRESULT CHALXMLStore::SeekNextMatch()
{
    if (!m_store)
        return E_NOINTERFACE;
    return Map(m_store->SeekNextMatch());
}

HRESULT CHALXMLStore::GetCurrentNodeName(BSTR* pbstrName)
{
    if (!m_store)
        return E_NOINTERFACE;
    if (!pbstrName)
        return E_POINTER;
    return Handed(m_store->GetCurrentNodeNameBSTR(), pbstrName);
}

HRESULT CHALXMLStore::CreateNode(BSTR bstrName)
{
    if (!m_store)
        return E_NOINTERFACE;
    return Map(m_store->CreateNode(Text(bstrName)));
}

HRESULT CHALXMLStore::RemoveNode()
{
    if (!m_store)
        return E_NOINTERFACE;
    return Map(m_store->RemoveNode());
}

HRESULT CHALXMLStore::SetAttribute(BSTR bstrName, BSTR bstrValue)
{
    if (!m_store)
        return E_NOINTERFACE;
    return Map(m_store->SetAttribute(Text(bstrName), Text(bstrValue)));
}

HRESULT CHALXMLStore::GetAttribute(BSTR bstrName, BSTR* pbstrValue)
{
    if (!m_store)
        return E_NOINTERFACE;
    if (!pbstrValue)
        return E_POINTER;
    BSTR value = nullptr;
    m_store->GetAttributeBSTR(Text(bstrName), &value);
    return Handed(value, pbstrValue);
}

HRESULT CHALXMLStore::SetAttributeInt(BSTR bstrName, INT nValue)
{
    if (!m_store)
        return E_NOINTERFACE;
    return Map(m_store->SetAttributeInt(Text(bstrName), nValue));
}

HRESULT CHALXMLStore::GetAttributeInt(BSTR bstrName, INT* nDefault)
{
    if (!m_store)
        return E_NOINTERFACE;
    if (!nDefault)
        return E_POINTER;
    *nDefault = m_store->GetAttributeInt(Text(bstrName), *nDefault);
    return S_OK;
}

HRESULT CHALXMLStore::GetAttributeLength(BSTR bstrName, INT* nLength)
{
    if (!m_store)
        return E_NOINTERFACE;
    if (!nLength)
        return E_POINTER;
    *nLength = ToInt(m_store->GetAttributeLength(Text(bstrName)));
    return S_OK;
}

HRESULT CHALXMLStore::RemoveAttribute(BSTR bstrName)
{
    if (!m_store)
        return E_NOINTERFACE;
    return Map(m_store->RemoveAttribute(Text(bstrName)));
}

HRESULT CHALXMLStore::SetStringByName(BSTR bstrName, BSTR bstrValue)
{
    if (!m_store)
        return E_NOINTERFACE;
    return Map(m_store->SetStringByName(Text(bstrName), Text(bstrValue)));
}

HRESULT CHALXMLStore::SetIntByName(BSTR bstrName, INT nValue)
{
    if (!m_store)
        return E_NOINTERFACE;
    return Map(m_store->SetIntByName(Text(bstrName), nValue));
}

HRESULT CHALXMLStore::GetStringByName(BSTR bstrName, BSTR* pbstrValue)
{
    if (!m_store)
        return E_NOINTERFACE;
    if (!pbstrValue)
        return E_POINTER;
    BSTR value = nullptr;
    m_store->GetStringByNameBSTR(Text(bstrName), &value);
    return Handed(value, pbstrValue);
}

HRESULT CHALXMLStore::GetStringLengthByName(BSTR bstrName, INT* nLen)
{
    if (!m_store)
        return E_NOINTERFACE;
    if (!nLen)
        return E_POINTER;
    *nLen = ToInt(m_store->GetStringLengthByName(Text(bstrName)));
    return S_OK;
}

HRESULT CHALXMLStore::GetIntByName(BSTR bstrName, INT* nDefault)
{
    if (!m_store)
        return E_NOINTERFACE;
    if (!nDefault)
        return E_POINTER;
    *nDefault = m_store->GetIntByName(Text(bstrName), *nDefault);
    return S_OK;
}

HRESULT CHALXMLStore::SaveToFile(BSTR bstrFilePath)
{
    if (!m_store)
        return E_NOINTERFACE;
    return Map(m_store->SaveToFile(Text(bstrFilePath)));
}

HRESULT CHALXMLStore::LoadFromFile(BSTR bstrFilePath)
{
    if (!m_store)
        return E_NOINTERFACE;
    return Map(m_store->LoadFromFile(Text(bstrFilePath)));
}

HRESULT CHALXMLStore::DumpContext()
{
    if (!m_store)
        return E_NOINTERFACE;
    m_store->DumpContext();
    return S_OK;
}

HRESULT CHALXMLStore::WithParsedNode(BSTR bstrNode, BOOL (MSXML6Store::*apply)(XMLStoreBase*))
{
    if (!m_store)
        return E_NOINTERFACE;
    MSXML6Store* node = CreateMSXML6Store();
    if (!node)
        return E_FAIL;
    HRESULT hr = E_FAIL;
    if (node->Initialize() && node->ParseXML(Text(bstrNode)) && node->SeekRootNode())
        hr = Map((m_store->*apply)(node));
    node->Destroy();
    return hr;
}

HRESULT CHALXMLStore::ImportNode(BSTR bstrNode) { return WithParsedNode(bstrNode, &MSXML6Store::ImportNode); }

HRESULT CHALXMLStore::ReplaceNode(BSTR bstrNode) { return WithParsedNode(bstrNode, &MSXML6Store::ReplaceNode); }

HRESULT CHALXMLStore::SeekParent()
{
    if (!m_store)
        return E_NOINTERFACE;
    return Map(m_store->SeekParent());
}

HRESULT CHALXMLStore::GetCurrentNodeNameLength(INT* pnLen)
{
    if (!m_store)
        return E_NOINTERFACE;
    if (!pnLen)
        return E_POINTER;
    *pnLen = ToInt(m_store->GetCurrentNodeNameLength());
    return S_OK;
}

HRESULT CHALXMLStore::SetString(BSTR bstrValue)
{
    if (!m_store)
        return E_NOINTERFACE;
    return Map(m_store->SetString(Text(bstrValue)));
}

HRESULT CHALXMLStore::SetInt(INT nValue)
{
    if (!m_store)
        return E_NOINTERFACE;
    return Map(m_store->SetInt(nValue));
}

HRESULT CHALXMLStore::GetString(BSTR* pbstrValue)
{
    if (!m_store)
        return E_NOINTERFACE;
    if (!pbstrValue)
        return E_POINTER;
    BSTR value = nullptr;
    m_store->GetStringBSTR(&value);
    return Handed(value, pbstrValue);
}

HRESULT CHALXMLStore::GetStringLength(INT* nLen)
{
    if (!m_store)
        return E_NOINTERFACE;
    if (!nLen)
        return E_POINTER;
    *nLen = ToInt(m_store->GetStringLength());
    return S_OK;
}

HRESULT CHALXMLStore::GetInt(INT* nDefault)
{
    if (!m_store)
        return E_NOINTERFACE;
    if (!nDefault)
        return E_POINTER;
    *nDefault = m_store->GetInt(*nDefault);
    return S_OK;
}

CHALXML* CHALXML::Create() { return new (std::nothrow) CHALXML(); }

HRESULT CHALXML::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_INVALIDARG;
    if (riid == IID_IUnknown || riid == IID_ICKelXmlHAL) {
        *ppv = static_cast<ICKelXmlHAL*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}
