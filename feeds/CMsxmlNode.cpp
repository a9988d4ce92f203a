#include "feeds/CMsxmlNode.h"

#include "feeds/WideText.h"

namespace {

// Takes over the string and frees it.
CString TakeString(BSTR text)
{
    if (!text)
        return CString();
    CString result = WideToAnsi(text, static_cast<int>(::SysStringLen(text)));
    ::SysFreeString(text);
    return result;
}

bool IsXmlBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

// The value of a text or CDATA node; a text node's is trimmed of blanks at its edges, as the
// parser's text of an element trims it.
bool ReadCharacterData(IXMLDOMNode* node, DOMNodeType type, CString& text)
{
    VARIANT value;
    ::VariantInit(&value);
    if (FAILED(node->get_nodeValue(&value)) || value.vt != VT_BSTR) {
        ::VariantClear(&value);
        return false;
    }
    const wchar_t* begin = value.bstrVal;
    const wchar_t* end = begin + ::SysStringLen(value.bstrVal);
    if (type == NODE_TEXT) {
        while (begin < end && IsXmlBlank(*begin))
            ++begin;
        while (end > begin && IsXmlBlank(end[-1]))
            --end;
    }
    text = WideToAnsi(begin, static_cast<int>(end - begin));
    ::VariantClear(&value);
    return true;
}

} // namespace

CMsxmlNode::CMsxmlNode(IXMLDOMNode* node)
    : m_node(node),
      m_type(NODE_INVALID),
      m_onlyChild(nullptr),
      m_onlyChildType(NODE_INVALID),
      m_isLastChild(false),
      m_parent(nullptr),
      m_index(0),
      m_isRoot(true)
{
}

CMsxmlNode::CMsxmlNode(IXMLDOMNode* node, IXMLDOMNode* parent, long index, DOMNodeType type, bool isLastChild)
    : m_node(node),
      m_type(type),
      m_onlyChild(nullptr),
      m_onlyChildType(NODE_INVALID),
      m_isLastChild(isLastChild),
      m_parent(parent),
      m_index(index),
      m_isRoot(false)
{
    if (m_parent)
        m_parent->AddRef();
}

CMsxmlNode::~CMsxmlNode()
{
    if (m_node)
        m_node->Release();
    if (m_onlyChild)
        m_onlyChild->Release();
    if (m_parent)
        m_parent->Release();
}

CString CMsxmlNode::GetName() const
{
    BSTR name = nullptr;
    m_node->get_nodeName(&name);
    return TakeString(name);
}

int CMsxmlNode::GetType() const
{
    if (m_type == NODE_INVALID)
        m_node->get_nodeType(&m_type);
    return static_cast<int>(m_type);
}

// Most elements of a feed hold a single run of text. Reading that node's value spares the
// parser the gathering of the text of a subtree, which is most of the cost of a walk.
CString CMsxmlNode::GetText() const
{
    if (!m_onlyChild)
        FindOnlyChild();
    CString text;
    if (m_onlyChild && (m_onlyChildType == NODE_TEXT || m_onlyChildType == NODE_CDATA_SECTION)
        && ReadCharacterData(m_onlyChild, m_onlyChildType, text))
        return text;
    BSTR all = nullptr;
    m_node->get_text(&all);
    return TakeString(all);
}

// Keeps the first child, and its type, when it is the only child.
void CMsxmlNode::FindOnlyChild() const
{
    IXMLDOMNode* child = nullptr;
    if (m_node->get_firstChild(&child) != S_OK || !child) {
        if (child)
            child->Release();
        return;
    }
    IXMLDOMNode* sibling = nullptr;
    const HRESULT next = child->get_nextSibling(&sibling);
    if (sibling)
        sibling->Release();
    if (next != S_FALSE) {
        child->Release();
        return;
    }
    child->get_nodeType(&m_onlyChildType);
    m_onlyChild = child;
}

std::unique_ptr<CFeedNode> CMsxmlNode::GetFirstChild() const
{
    if (m_onlyChild) {
        IXMLDOMNode* child = m_onlyChild;
        m_onlyChild = nullptr; // handed over
        return std::unique_ptr<CFeedNode>(
            new CMsxmlNode(child, m_isRoot ? m_node : nullptr, 0, m_onlyChildType, true));
    }
    IXMLDOMNode* child = nullptr;
    if (m_node->get_firstChild(&child) != S_OK || !child) {
        if (child)
            child->Release();
        return nullptr;
    }
    return std::unique_ptr<CFeedNode>(new CMsxmlNode(child, m_isRoot ? m_node : nullptr, 0));
}

std::unique_ptr<CFeedNode> CMsxmlNode::GetNextSibling() const
{
    if (m_isLastChild)
        return nullptr;
    IXMLDOMNode* sibling = nullptr;
    HRESULT result = m_node->get_nextSibling(&sibling);
    if (FAILED(result) && m_parent) {
        IXMLDOMNodeList* children = nullptr;
        if (SUCCEEDED(m_parent->get_childNodes(&children)) && children) {
            result = children->get_item(m_index + 1, &sibling);
            children->Release();
        }
    }
    if (result != S_OK || !sibling) {
        if (sibling)
            sibling->Release();
        return nullptr;
    }
    return std::unique_ptr<CFeedNode>(new CMsxmlNode(sibling, m_parent, m_index + 1));
}

CString CMsxmlNode::GetAttribute(const char* name) const
{
    IXMLDOMNamedNodeMap* attributes = nullptr;
    if (m_node->get_attributes(&attributes) != S_OK || !attributes) {
        if (attributes)
            attributes->Release();
        return CString();
    }
    const std::wstring wideName = AnsiToWide(CString(name));
    BSTR key = ::SysAllocStringLen(wideName.data(), static_cast<UINT>(wideName.size()));
    IXMLDOMNode* attribute = nullptr;
    CString value;
    if (key && attributes->getNamedItem(key, &attribute) == S_OK && attribute) {
        BSTR text = nullptr;
        attribute->get_text(&text);
        value = TakeString(text);
    }
    if (attribute)
        attribute->Release();
    ::SysFreeString(key);
    attributes->Release();
    return value;
}

// A view for reading the node later; it is never walked on from.
std::unique_ptr<CFeedNode> CMsxmlNode::Clone() const
{
    m_node->AddRef();
    return std::unique_ptr<CFeedNode>(new CMsxmlNode(m_node, nullptr, 0, m_type, true));
}
