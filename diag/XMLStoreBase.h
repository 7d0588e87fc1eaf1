// The XML store's operations: one document in memory and a cursor into it,
// the context node. Results are BOOL (non-zero for true), numbers or texts;
// failures are never thrown.
#pragma once

#include "diag/TraceClient.h"
#include "platform/base/wintypes.h"

class XMLNodeRef;

class XMLStoreBase : public CTraceClient {
public:
    // Document and text.
    virtual BOOL Initialize() = 0;
    virtual void Destroy() = 0;
    virtual BOOL ParseXML(const WCHAR* text) = 0;
    virtual BSTR GenerateXML() = 0;
    virtual BSTR GenerateXMLFromContext() = 0;

    // Navigation.
    virtual BOOL SetContext(const WCHAR* path) = 0;
    virtual BOOL SeekRootNode() = 0;
    virtual BOOL SeekParent() = 0;
    virtual BOOL SeekFirstChild() = 0;
    virtual BOOL SeekNextSibling() = 0;
    virtual BOOL SeekNextMatch() = 0;

    // Node names and structure.
    virtual BOOL GetCurrentNodeName(WCHAR* buffer, DWORD length) = 0;
    virtual DWORD GetCurrentNodeNameLength() = 0;
    virtual BOOL CreateNode(const WCHAR* name) = 0;
    virtual BOOL ImportNode(XMLStoreBase* other) = 0;
    virtual BOOL ReplaceNode(XMLStoreBase* other) = 0;
    virtual BOOL RemoveNode() = 0;
    virtual XMLNodeRef* GetContextNode() = 0;
    virtual void ReleaseNode(XMLNodeRef* node) = 0;
    virtual void SetContextNode(XMLNodeRef* node) = 0;

    // Attributes of the context node.
    virtual BOOL SetAttribute(const WCHAR* name, const WCHAR* value) = 0;
    virtual BOOL GetAttribute(const WCHAR* name, WCHAR* buffer, DWORD length) = 0;
    virtual BOOL SetAttributeInt(const WCHAR* name, LONG value) = 0;
    virtual DWORD GetAttributeLength(const WCHAR* name) = 0;
    virtual LONG GetAttributeInt(const WCHAR* name, LONG defaultValue) = 0;
    virtual BOOL RemoveAttribute(const WCHAR* name) = 0;

    // Element text.
    virtual BOOL SetString(const WCHAR* value) = 0;
    virtual BOOL SetStringByName(const WCHAR* name, const WCHAR* value) = 0;
    virtual BOOL SetInt(LONG value) = 0;
    virtual BOOL SetIntByName(const WCHAR* name, LONG value) = 0;
    virtual BOOL GetString(WCHAR* buffer, DWORD length) = 0;
    virtual BOOL GetStringByName(const WCHAR* name, WCHAR* buffer, DWORD length) = 0;
    virtual DWORD GetStringLength() = 0;
    virtual DWORD GetStringLengthByName(const WCHAR* name) = 0;
    virtual LONG GetInt(LONG defaultValue) = 0;
    virtual LONG GetIntByName(const WCHAR* name, LONG defaultValue) = 0;

    virtual void DumpContext() = 0;
    virtual BOOL SaveToFile(const WCHAR* path) = 0;
    virtual BOOL LoadFromFile(const WCHAR* path) = 0;

    virtual BSTR GetCurrentNodeNameBSTR() = 0;

protected:
    explicit XMLStoreBase(const WCHAR* componentName) : CTraceClient(componentName) {}
    // Stores are deleted through Destroy.
    ~XMLStoreBase() override = default;
};
