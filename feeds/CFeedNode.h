// One node of a parsed feed document, as the feed walk sees it. The XML parser of the
// platform serves it; tests build their own trees.
#pragma once
#include "fw/CString.h"

#include <memory>

class CFeedNode {
public:
    // Node types, numbered as the DOM numbers them.
    enum Type {
        ELEMENT = 1,
        ATTRIBUTE = 2,
        TEXT = 3,
        CDATA_SECTION = 4,
        ENTITY_REFERENCE = 5,
        ENTITY = 6,
        PROCESSING_INSTRUCTION = 7,
        COMMENT = 8,
        DOCUMENT = 9,
        DOCUMENT_TYPE = 10,
        DOCUMENT_FRAGMENT = 11,
        NOTATION = 12,
    };

    virtual ~CFeedNode() = default;

    // The qualified name, prefix included ("dc:subject"); "#text" and the like for non-elements.
    virtual CString GetName() const = 0;
    virtual int GetType() const = 0;
    // The character data of the node and all its descendants, references resolved.
    virtual CString GetText() const = 0;
    // Each call gives a new node object, owned by the caller; null when there is none.
    virtual std::unique_ptr<CFeedNode> GetFirstChild() const = 0;
    virtual std::unique_ptr<CFeedNode> GetNextSibling() const = 0;
    // The value of an attribute of an element; empty when it has none of that name.
    virtual CString GetAttribute(const char* name) const = 0;
    // Another view of the same node, owned by the caller.
    virtual std::unique_ptr<CFeedNode> Clone() const = 0;
};
