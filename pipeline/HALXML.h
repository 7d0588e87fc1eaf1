// The XML sinks the hardware service reads scan settings from and writes its
// results to, across the process boundary: ICKelXmlHAL over an XML store of
// their own. A store's true gives S_OK and false E_FAIL; without a store
// every operation answers E_NOINTERFACE. Strings handed out are new BSTRs
// the caller frees.
#pragma once

#include "diag/MSXML6Store.h"
#include "halservice/interfaces/RNXHALInterfaces.h"
#include "pipeline/RNXCOMCoreModule.h"
#include "platform/com/RefCounted.h"
#include "platform/windows.h"

// ICKelXmlHAL over an owned store; the IUnknown operations are the derived
// class's.
class CHALXMLStore : public ICKelXmlHAL {
public:
    CHALXMLStore();
    virtual ~CHALXMLStore();
    CHALXMLStore(const CHALXMLStore&) = delete;
    CHALXMLStore& operator=(const CHALXMLStore&) = delete;

    HRESULT STDMETHODCALLTYPE Initialize() override;
    HRESULT STDMETHODCALLTYPE ParseXML(BSTR bstrXML) override;
    HRESULT STDMETHODCALLTYPE GenerateXML(BSTR* bstrXML) override;
    HRESULT STDMETHODCALLTYPE GenerateXMLFromContext(BSTR* bstrXML) override;
    HRESULT STDMETHODCALLTYPE SetContext(BSTR pcszPath) override;
    HRESULT STDMETHODCALLTYPE SeekRootNode() override;
    HRESULT STDMETHODCALLTYPE SeekFirstChild() override;
    HRESULT STDMETHODCALLTYPE SeekNextSibling() override;
    HRESULT STDMETHODCALLTYPE SeekNextMatch() override;
    HRESULT STDMETHODCALLTYPE GetCurrentNodeName(BSTR* pbstrName) override;
    HRESULT STDMETHODCALLTYPE CreateNode(BSTR bstrName) override;
    HRESULT STDMETHODCALLTYPE RemoveNode() override;
    HRESULT STDMETHODCALLTYPE SetAttribute(BSTR bstrName, BSTR bstrValue) override;
    HRESULT STDMETHODCALLTYPE GetAttribute(BSTR bstrName, BSTR* pbstrValue) override;
    HRESULT STDMETHODCALLTYPE SetAttributeInt(BSTR bstrName, INT nValue) override;
    HRESULT STDMETHODCALLTYPE GetAttributeInt(BSTR bstrName, INT* nDefault) override;
    HRESULT STDMETHODCALLTYPE GetAttributeLength(BSTR bstrName, INT* nLength) override;
    HRESULT STDMETHODCALLTYPE RemoveAttribute(BSTR bstrName) override;
    HRESULT STDMETHODCALLTYPE SetStringByName(BSTR bstrName, BSTR bstrValue) override;
    HRESULT STDMETHODCALLTYPE SetIntByName(BSTR bstrName, INT nValue) override;
    HRESULT STDMETHODCALLTYPE GetStringByName(BSTR bstrName, BSTR* pbstrValue) override;
    HRESULT STDMETHODCALLTYPE GetStringLengthByName(BSTR bstrName, INT* nLen) override;
    HRESULT STDMETHODCALLTYPE GetIntByName(BSTR bstrName, INT* nDefault) override;
    HRESULT STDMETHODCALLTYPE SaveToFile(BSTR bstrFilePath) override;
    HRESULT STDMETHODCALLTYPE LoadFromFile(BSTR bstrFilePath) override;
    HRESULT STDMETHODCALLTYPE DumpContext() override;
    HRESULT STDMETHODCALLTYPE ImportNode(BSTR bstrNode) override;
    HRESULT STDMETHODCALLTYPE ReplaceNode(BSTR bstrNode) override;
    HRESULT STDMETHODCALLTYPE SeekParent() override;
    HRESULT STDMETHODCALLTYPE GetCurrentNodeNameLength(INT* pnLen) override;
    HRESULT STDMETHODCALLTYPE SetString(BSTR bstrValue) override;
    HRESULT STDMETHODCALLTYPE SetInt(INT nValue) override;
    HRESULT STDMETHODCALLTYPE GetString(BSTR* pbstrValue) override;
    HRESULT STDMETHODCALLTYPE GetStringLength(INT* nLen) override;
    HRESULT STDMETHODCALLTYPE GetInt(INT* nDefault) override;

private:
    // ImportNode and ReplaceNode: the text parsed into a store of its own.
    HRESULT WithParsedNode(BSTR bstrNode, BOOL (MSXML6Store::*apply)(XMLStoreBase*));

    MSXML6Store* m_store; // owned; destroyed with Destroy
};

// The settings sink of one IRNXHALS::Configure.
class CHALXML final : public plat::RefCounted<CHALXMLStore> {
public:
    // A new sink with a reference count of 1; null without memory.
    static CHALXML* Create();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;

private:
    CHALXML() = default;
    ~CHALXML() override = default;

    plat::ModuleLock m_moduleLock{RNXCOMCoreModule()};
};
