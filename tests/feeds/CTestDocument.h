// A feed document for the tests: built by hand or read from a small subset of XML (elements,
// attributes, text, CDATA sections, comments, processing instructions, the predefined and
// numeric character references). Nodes are held flat, so trees of any depth are cheap.
#pragma once
#include "feeds/CFeedNode.h"
#include "fw/CString.h"

#include <memory>
#include <utility>
#include <vector>

class CTestDocument {
public:
    CTestDocument();

    // Reads the markup; throws std::runtime_error when it cannot.
    static CTestDocument FromXml(const char* xml);

    static const int kDocument = 0; // the document node

    int AddNode(int parent, int type, const char* name, const char* value = "");
    int AddElement(int parent, const char* name) { return AddNode(parent, CFeedNode::ELEMENT, name); }
    int AddText(int parent, const char* text) { return AddNode(parent, CFeedNode::TEXT, "#text", text); }
    void SetAttribute(int element, const char* name, const char* value);

    // A node view for the walk. The document must outlive it.
    std::unique_ptr<CFeedNode> Node(int index) const;
    std::unique_ptr<CFeedNode> Root() const { return Node(kDocument); }

    // How many node views are alive; the walk must release all it takes.
    static int LiveViews();
    // How often the text of a node was read.
    static int TextReads();
    static void ResetTextReads();

private:
    struct Entry {
        int type;
        CString name;
        CString value;  // the characters of a text, CDATA or comment node
        std::vector<std::pair<CString, CString>> attributes;
        int firstChild = -1;
        int lastChild = -1;
        int nextSibling = -1;
    };
    class View;
    friend class View;
    class Reader;

    CString TextOf(int index) const;

    std::vector<Entry> m_entries;
};
