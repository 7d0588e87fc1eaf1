#include "diag/XMLNodeRef.h"

#include <utility>

namespace {

void CollectSubtree(pugi::xml_node root, std::unordered_set<pugi::xml_node_struct*>& nodes)
{
    // Iterative: documents may nest deeply.
    for (pugi::xml_node node = root; node;) {
        nodes.insert(node.internal_object());
        if (node.first_child()) {
            node = node.first_child();
            continue;
        }
        while (node != root && !node.next_sibling())
            node = node.parent();
        if (node == root)
            break;
        node = node.next_sibling();
    }
}

void Forget(XMLDocumentData& data, const std::unordered_set<pugi::xml_node_struct*>& doomed)
{
    if (doomed.empty())
        return;
    for (XMLNodeRef* reference : data.references)
        if (doomed.count(reference->Node().internal_object()))
            reference->ForgetNode();
    for (XMLNodeList* list : data.lists)
        for (pugi::xml_node& node : list->nodes)
            if (doomed.count(node.internal_object()))
                node = pugi::xml_node();
}

} // namespace

void XMLDocumentData::ForgetSubtree(pugi::xml_node root)
{
    std::unordered_set<pugi::xml_node_struct*> doomed;
    if (root)
        CollectSubtree(root, doomed);
    Forget(*this, doomed);
}

void XMLDocumentData::ForgetChildren(pugi::xml_node parent)
{
    std::unordered_set<pugi::xml_node_struct*> doomed;
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling())
        CollectSubtree(child, doomed);
    Forget(*this, doomed);
}

XMLNodeRef* XMLNodeRef::Create(std::shared_ptr<XMLDocumentData> document, pugi::xml_node node)
{
    return new XMLNodeRef(std::move(document), node);
}

XMLNodeRef::XMLNodeRef(std::shared_ptr<XMLDocumentData> document, pugi::xml_node node)
    : m_document(std::move(document)), m_node(node)
{
    m_document->references.insert(this);
}

XMLNodeRef::~XMLNodeRef() { m_document->references.erase(this); }

ULONG XMLNodeRef::AddRef() { return ++m_references; }

ULONG XMLNodeRef::Release()
{
    ULONG left = --m_references;
    if (left == 0)
        delete this;
    return left;
}

XMLNodeList::XMLNodeList(std::shared_ptr<XMLDocumentData> data) : document(std::move(data))
{
    document->lists.insert(this);
}

XMLNodeList::~XMLNodeList() { document->lists.erase(this); }
