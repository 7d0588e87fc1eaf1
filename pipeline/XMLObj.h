// The XML store as an Automation object. Every operation answers S_OK when
// the store says true and S_FALSE when it says false (no failure code), and
// kXMLObjNoStore before Initialize; every string handed out is new and the
// caller's to free.
#pragma once

#include "diag/MSXML6Store.h"
#include "pipeline/ComObjectRoot.h"
#include "pipeline/RNXCOMCoreInterfaces.h"

// No store yet, a null out-pointer or name, or no memory for a string.
constexpr HRESULT kXMLObjNoStore = static_cast<HRESULT>(0x80000005u);
// Initialize could not make a store.
constexpr HRESULT kXMLObjCannotCreate = static_cast<HRESULT>(0x80000007u);

class CXMLObj final : public CComObjectRoot, public plat::DispatchImpl<IXMLObj> {
public:
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv);

    explicit CXMLObj(IUnknown* outer);
    ~CXMLObj() override;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override
    {
        return OuterQueryInterface(riid, ppv);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return OuterAddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return OuterRelease(); }

    HRESULT STDMETHODCALLTYPE Initialize() override;
    HRESULT STDMETHODCALLTYPE ParseXML(BSTR bstrXml) override;
    HRESULT STDMETHODCALLTYPE GenerateXML(BSTR* bstrXml) override;
    HRESULT STDMETHODCALLTYPE GenerateXMLFromContext(BSTR* bstrXml) override;
    HRESULT STDMETHODCALLTYPE SetContext(BSTR pbstrPath) override;
    HRESULT STDMETHODCALLTYPE SeekRootNode() override;
    HRESULT STDMETHODCALLTYPE SeekFirstChild() override;
    HRESULT STDMETHODCALLTYPE SeekNextSibling() override;
    HRESULT STDMETHODCALLTYPE SeekNextMatch() override;
    HRESULT STDMETHODCALLTYPE GetCurrentNodeName(BSTR* pbstrName) override;
    HRESULT STDMETHODCALLTYPE CreateNode(BSTR bstrName) override;
    HRESULT STDMETHODCALLTYPE RemoveNode() override;
    HRESULT STDMETHODCALLTYPE SetAttribute(BSTR bstrName, BSTR bstrValue) override;
    HRESULT STDMETHODCALLTYPE GetAttribute(BSTR bstrName, BSTR bstrDefault, BSTR* pbstrValue) override;
    HRESULT STDMETHODCALLTYPE SetAttributeInt(BSTR bstrName, INT nValue) override;
    HRESULT STDMETHODCALLTYPE GetAttributeInt(BSTR bstrName, INT nDefault, INT* nValue) override;
    HRESULT STDMETHODCALLTYPE GetAttributeLength(BSTR bstrName, INT* nLength) override;
    HRESULT STDMETHODCALLTYPE RemoveAttribute(BSTR bstrName) override;
    HRESULT STDMETHODCALLTYPE SetStringByName(BSTR bstrName, BSTR bstrValue) override;
    HRESULT STDMETHODCALLTYPE SetIntByName(BSTR bstrName, INT nValue) override;
    HRESULT STDMETHODCALLTYPE GetStringByName(BSTR bstrName, BSTR bstrDefault, BSTR* pbstrValue) override;
    HRESULT STDMETHODCALLTYPE GetStringLengthByName(BSTR bstrName, INT* nLen) override;
    HRESULT STDMETHODCALLTYPE GetIntByName(BSTR bstrName, INT nDefault, INT* nValue) override;
    HRESULT STDMETHODCALLTYPE SaveToFile(BSTR bstrFilePath) override;
    HRESULT STDMETHODCALLTYPE LoadFromFile(BSTR bstrFilePath) override;
    HRESULT STDMETHODCALLTYPE DumpContext() override;
    HRESULT STDMETHODCALLTYPE ImportNode(BSTR bstrNode) override;
    HRESULT STDMETHODCALLTYPE ReplaceNode(BSTR bstrNode) override;
    HRESULT STDMETHODCALLTYPE SeekParent() override;
    HRESULT STDMETHODCALLTYPE GetCurrentNodeNameLength(INT* pnLen) override;
    HRESULT STDMETHODCALLTYPE SetString(BSTR bstrValue) override;
    HRESULT STDMETHODCALLTYPE SetInt(INT nValue) override;
    HRESULT STDMETHODCALLTYPE GetString(BSTR bstrDefault, BSTR* pbstrValue) override;
    HRESULT STDMETHODCALLTYPE GetStringLength(INT* nLen) override;
    HRESULT STDMETHODCALLTYPE GetInt(INT nDefault, INT* nValue) override;

private:
    void* GetInterface(REFIID riid) override;

    // The store's read of a text of `length` characters, as a new BSTR:
    // S_OK, S_FALSE when the store cannot give it, kXMLObjNoStore without
    // memory.
    template <class Read>
    HRESULT ReadText(DWORD length, Read read, BSTR* out);
    // A string getter: the default (copied) for an absent or empty text.
    template <class Read>
    HRESULT ReadTextOrDefault(DWORD length, BSTR bstrDefault, Read read, BSTR* out);
    // ImportNode and ReplaceNode: the text parsed into a store of its own.
    HRESULT WithParsedNode(BSTR bstrNode, BOOL (MSXML6Store::*apply)(XMLStoreBase*));

    MSXML6Store* m_store = nullptr; // owned; destroyed with Destroy
};
