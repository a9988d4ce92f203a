#include "feeds/CMsxmlNode.h"

#include "feeds/WideText.h"
#include "fw/CBstr.h"

namespace {

CString ToText(const CBstr& text)
{
    return text ? WideToAnsi(text.Get(), static_cast<int>(text.Length())) : CString();
}

// Another reference to the object, for a holder of its own.
IXMLDOMNode* Share(IXMLDOMNode* node)
{
    if (node)
        node->AddRef();
    return node;
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
      m_onlyChildType(NODE_INVALID),
      m_isLastChild(false),
      m_index(0),
      m_isRoot(true)
{
}

CMsxmlNode::CMsxmlNode(IXMLDOMNode* node, IXMLDOMNode* parent, long index, DOMNodeType type, bool isLastChild)
    : m_node(Share(node)),
      m_type(type),
      m_onlyChildType(NODE_INVALID),
      m_isLastChild(isLastChild),
      m_parent(Share(parent)),
      m_index(index),
      m_isRoot(false)
{
}

CMsxmlNode::~CMsxmlNode() = default;

CString CMsxmlNode::GetName() const
{
    CBstr name;
    m_node->get_nodeName(name.Receive());
    return ToText(name);
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
        && ReadCharacterData(m_onlyChild.Get(), m_onlyChildType, text))
        return text;
    CBstr all;
    m_node->get_text(all.Receive());
    return ToText(all);
}

// Keeps the first child, and its type, when it is the only child.
void CMsxmlNode::FindOnlyChild() const
{
    CComPtr<IXMLDOMNode> child;
    if (m_node->get_firstChild(child.Receive()) != S_OK || !child)
        return;
    CComPtr<IXMLDOMNode> sibling;
    if (child->get_nextSibling(sibling.Receive()) != S_FALSE)
        return;
    child->get_nodeType(&m_onlyChildType);
    m_onlyChild.Reset(Share(child.Get()));
}

std::unique_ptr<CFeedNode> CMsxmlNode::GetFirstChild() const
{
    IXMLDOMNode* const parent = m_isRoot ? m_node.Get() : nullptr;
    if (m_onlyChild) {
        std::unique_ptr<CFeedNode> child(new CMsxmlNode(m_onlyChild.Get(), parent, 0, m_onlyChildType, true));
        m_onlyChild.Reset(); // handed over
        return child;
    }
    CComPtr<IXMLDOMNode> child;
    if (m_node->get_firstChild(child.Receive()) != S_OK || !child)
        return nullptr;
    return std::unique_ptr<CFeedNode>(new CMsxmlNode(child.Get(), parent, 0));
}

std::unique_ptr<CFeedNode> CMsxmlNode::GetNextSibling() const
{
    if (m_isLastChild)
        return nullptr;
    CComPtr<IXMLDOMNode> sibling;
    HRESULT result = m_node->get_nextSibling(sibling.Receive());
    if (FAILED(result) && m_parent) {
        CComPtr<IXMLDOMNodeList> children;
        if (SUCCEEDED(m_parent->get_childNodes(children.Receive())) && children)
            result = children->get_item(m_index + 1, sibling.Receive());
    }
    if (result != S_OK || !sibling)
        return nullptr;
    return std::unique_ptr<CFeedNode>(new CMsxmlNode(sibling.Get(), m_parent.Get(), m_index + 1));
}

CString CMsxmlNode::GetAttribute(const char* name) const
{
    CComPtr<IXMLDOMNamedNodeMap> attributes;
    if (m_node->get_attributes(attributes.Receive()) != S_OK || !attributes)
        return CString();
    const std::wstring wideName = AnsiToWide(CString(name));
    const CBstr key(wideName.data(), wideName.size());
    CComPtr<IXMLDOMNode> attribute;
    CString value;
    if (key && attributes->getNamedItem(key.Get(), attribute.Receive()) == S_OK && attribute) {
        CBstr text;
        attribute->get_text(text.Receive());
        value = ToText(text);
    }
    return value;
}

// A view for reading the node later; it is never walked on from.
std::unique_ptr<CFeedNode> CMsxmlNode::Clone() const
{
    return std::unique_ptr<CFeedNode>(new CMsxmlNode(m_node.Get(), nullptr, 0, m_type, true));
}
