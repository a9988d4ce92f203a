// A node of a document of the platform's XML parser (MSXML), as the feed walk sees it.
#pragma once
#include "feeds/CFeedNode.h"
#include "fw/CComPtr.h"

#include <msxml2.h>

class CMsxmlNode : public CFeedNode {
public:
    // The root of a walk, normally the document node. Takes over one reference to `node`,
    // which it releases when it goes.
    explicit CMsxmlNode(IXMLDOMNode* node);
    CMsxmlNode(const CMsxmlNode&) = delete;
    CMsxmlNode& operator=(const CMsxmlNode&) = delete;
    ~CMsxmlNode() override;

    CString GetName() const override;
    int GetType() const override;
    CString GetText() const override;
    std::unique_ptr<CFeedNode> GetFirstChild() const override;
    std::unique_ptr<CFeedNode> GetNextSibling() const override;
    CString GetAttribute(const char* name) const override;
    std::unique_ptr<CFeedNode> Clone() const override;

private:
    // Takes a reference of its own to `node` and to `parent`.
    CMsxmlNode(IXMLDOMNode* node, IXMLDOMNode* parent, long index, DOMNodeType type = NODE_INVALID,
               bool isLastChild = false);
    void FindOnlyChild() const;

    CComPtr<IXMLDOMNode> m_node;
    mutable DOMNodeType m_type; // NODE_INVALID until read

    // The text of an element is most often its only child, a text node, which the walk visits
    // next: what GetText learnt of it is kept for GetFirstChild and that child's GetNextSibling.
    mutable CComPtr<IXMLDOMNode> m_onlyChild;
    mutable DOMNodeType m_onlyChildType;
    bool m_isLastChild;

    // Not every node can name its next sibling: Wine's document type node answers "not
    // implemented", and would end the walk of a feed that declares one. Such a sibling is taken
    // from the parent's list of children instead, by the position of this node in it. Only the
    // children of the root keep their parent for this: a document type node is a child of the
    // document, and the walk of the rest of the tree is spared the references.
    CComPtr<IXMLDOMNode> m_parent; // null but for children of the root
    long m_index;
    bool m_isRoot;
};
