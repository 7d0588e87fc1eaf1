// A counted reference to one node of a store's document, as handed out by
// GetContextNode. It keeps its document alive; when the node itself is
// removed from the document the reference goes empty instead of dangling.
#pragma once

#include "platform/base/wintypes.h"

#include <pugixml.hpp>

#include <memory>
#include <unordered_set>
#include <vector>

class XMLNodeRef;
struct XMLNodeList;

// A document with everything that points into it, so that removing a
// subtree can empty every reference and list entry inside it first.
struct XMLDocumentData {
    pugi::xml_document document;
    std::unordered_set<XMLNodeRef*> references;
    std::unordered_set<XMLNodeList*> lists;

    // Empties every reference and list entry that points into the subtree of
    // `root` (the root included), before the subtree is destroyed.
    void ForgetSubtree(pugi::xml_node root);
    // The same for the children of `parent` but not `parent` itself.
    void ForgetChildren(pugi::xml_node parent);
};

class XMLNodeRef {
public:
    static XMLNodeRef* Create(std::shared_ptr<XMLDocumentData> document, pugi::xml_node node);

    ULONG AddRef();
    ULONG Release();

    // Empty when the node has been removed from its document.
    pugi::xml_node Node() const { return m_node; }
    const std::shared_ptr<XMLDocumentData>& Document() const { return m_document; }
    // Called by the document when the node is removed.
    void ForgetNode() { m_node = pugi::xml_node(); }

private:
    friend struct XMLDocumentData;
    XMLNodeRef(std::shared_ptr<XMLDocumentData> document, pugi::xml_node node);
    ~XMLNodeRef();

    ULONG m_references = 1;
    std::shared_ptr<XMLDocumentData> m_document;
    pugi::xml_node m_node;
};

// The selection of the last SetContext, walked by SeekNextMatch.
struct XMLNodeList {
    explicit XMLNodeList(std::shared_ptr<XMLDocumentData> document);
    ~XMLNodeList();
    XMLNodeList(const XMLNodeList&) = delete;
    XMLNodeList& operator=(const XMLNodeList&) = delete;

    std::shared_ptr<XMLDocumentData> document;
    std::vector<pugi::xml_node> nodes; // empty entries were removed from the document
    size_t next = 0;
};
