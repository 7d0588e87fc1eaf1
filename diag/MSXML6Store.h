// The XML store over the platform's XML parser: one document, a context node
// into it, XPath 1.0 selection. A store is used by one thread at a time.
#pragma once

#include "diag/XMLNodeRef.h"
#include "diag/XMLStoreBase.h"

#include <memory>
#include <string>

class MSXML6Store : public XMLStoreBase {
public:
    MSXML6Store();

    BOOL Initialize() override;
    void Destroy() override;
    BOOL ParseXML(const WCHAR* text) override;
    BSTR GenerateXML() override;
    BSTR GenerateXMLFromContext() override;
    BOOL SetContext(const WCHAR* path) override;
    BOOL SeekRootNode() override;
    BOOL SeekParent() override;
    BOOL SeekFirstChild() override;
    BOOL SeekNextSibling() override;
    BOOL SeekNextMatch() override;
    BOOL GetCurrentNodeName(WCHAR* buffer, DWORD length) override;
    DWORD GetCurrentNodeNameLength() override;
    BOOL CreateNode(const WCHAR* name) override;
    BOOL ImportNode(XMLStoreBase* other) override;
    BOOL ReplaceNode(XMLStoreBase* other) override;
    BOOL RemoveNode() override;
    XMLNodeRef* GetContextNode() override;
    void ReleaseNode(XMLNodeRef* node) override;
    void SetContextNode(XMLNodeRef* node) override;
    BOOL SetAttribute(const WCHAR* name, const WCHAR* value) override;
    BOOL GetAttribute(const WCHAR* name, WCHAR* buffer, DWORD length) override;
    BOOL SetAttributeInt(const WCHAR* name, LONG value) override;
    DWORD GetAttributeLength(const WCHAR* name) override;
    LONG GetAttributeInt(const WCHAR* name, LONG defaultValue) override;
    BOOL RemoveAttribute(const WCHAR* name) override;
    BOOL SetString(const WCHAR* value) override;
    BOOL SetStringByName(const WCHAR* name, const WCHAR* value) override;
    BOOL SetInt(LONG value) override;
    BOOL SetIntByName(const WCHAR* name, LONG value) override;
    BOOL GetString(WCHAR* buffer, DWORD length) override;
    BOOL GetStringByName(const WCHAR* name, WCHAR* buffer, DWORD length) override;
    DWORD GetStringLength() override;
    DWORD GetStringLengthByName(const WCHAR* name) override;
    LONG GetInt(LONG defaultValue) override;
    LONG GetIntByName(const WCHAR* name, LONG defaultValue) override;
    void DumpContext() override;
    BOOL SaveToFile(const WCHAR* path) override;
    BOOL LoadFromFile(const WCHAR* path) override;
    BSTR GetCurrentNodeNameBSTR() override;

    // Texts handed out as new BSTRs that the caller frees; true when found.
    BOOL GetStringByNameBSTR(const WCHAR* name, BSTR* value);
    BOOL GetAttributeBSTR(const WCHAR* name, BSTR* value);
    BOOL GetStringBSTR(BSTR* value);

    // The result of the last recorded parser call (S_OK, S_FALSE for "not
    // found" or a parse error, or a failure code).
    HRESULT GetLastResult() const { return m_lastResult; }
    // The last load's parse error: line (from 1) and reason; 0 and empty after a good load.
    LONG GetParseErrorLine() const { return m_parseErrorLine; }
    const std::u16string& GetParseErrorReason() const { return m_parseErrorReason; }

private:
    ~MSXML6Store() override;

    void ReleaseAll();
    pugi::xml_node Context() const;
    void MoveContext(const std::shared_ptr<XMLDocumentData>& document, pugi::xml_node node);
    void ClearContext();
    // The markup of the node as a new BSTR; its making is the last result.
    BSTR Markup(pugi::xml_node node);
    // Moves the context to its first child or next sibling.
    BOOL SeekTo(pugi::xml_node (pugi::xml_node::*step)() const);
    HRESULT LoadText(std::u16string_view text);
    void SetParseError(LONG line, std::u16string reason);
    BOOL SelectOne(const WCHAR* name, pugi::xpath_node& found);
    // Text the document could not write and read back is refused (the last
    // result becomes E_FAIL) before anything changes.
    BOOL AcceptText(const WCHAR* text);
    HRESULT PutText(pugi::xpath_node node, std::u16string_view value);
    pugi::xml_node InsertClone(pugi::xml_node parent, pugi::xml_node source, pugi::xml_node replaced);
    const std::shared_ptr<XMLDocumentData>& ContextDocument() const;

    std::shared_ptr<XMLDocumentData> m_document;
    XMLNodeRef* m_contextNode = nullptr;
    std::unique_ptr<XMLNodeList> m_nodeList;
    HRESULT m_lastResult = 0;
    LONG m_parseErrorLine = 0;
    std::u16string m_parseErrorReason;
};

// A store that has been initialised, or null.
MSXML6Store* CreateMSXML6Store();
