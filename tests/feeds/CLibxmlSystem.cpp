#include "CLibxmlSystem.h"

#include "feeds/TextEncoding.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <cerrno>
#include <iconv.h>
#include <string>

namespace {

// What the system parser under Wine reads; anything else it refuses.
bool ParserKnows(const std::string& encoding)
{
    for (const char* known : {"", "utf-8", "utf-16", "iso-8859-1", "us-ascii", "windows-1250", "windows-1251",
                              "windows-1252", "windows-1253", "windows-1254", "windows-1255", "windows-1256",
                              "windows-1257", "windows-1258"}) {
        if (encoding == known)
            return true;
    }
    return false;
}

const char* IconvName(unsigned codePage)
{
    switch (codePage) {
    case 874: return "CP874";
    case 932: return "CP932";
    case 936: return "GBK";
    case 949: return "CP949";
    case 950: return "BIG5";
    case 20866: return "KOI8-R";
    case 20932: return "EUC-JP";
    case 28592: return "ISO-8859-2";
    case 50220: return "ISO-2022-JP";
    case 65000: return "UTF-7";
    default: return nullptr;
    }
}

std::string Name(const xmlNode* node)
{
    std::string name = reinterpret_cast<const char*>(node->name);
    if (node->ns && node->ns->prefix)
        name = reinterpret_cast<const char*>(node->ns->prefix) + (":" + name);
    return name;
}

bool IsBlankText(const char* text)
{
    for (; *text; ++text) {
        if (*text != ' ' && *text != '\t' && *text != '\r' && *text != '\n')
            return false;
    }
    return true;
}

void Copy(const xmlNode* node, int parent, CTestDocument& document)
{
    for (; node; node = node->next) {
        const char* content = node->content ? reinterpret_cast<const char*>(node->content) : "";
        switch (node->type) {
        case XML_ELEMENT_NODE: {
            const int element = document.AddElement(parent, Name(node).c_str());
            for (const xmlAttr* attribute = node->properties; attribute; attribute = attribute->next) {
                xmlChar* value = xmlNodeListGetString(node->doc, attribute->children, 1);
                document.SetAttribute(element, reinterpret_cast<const char*>(attribute->name),
                                      value ? reinterpret_cast<const char*>(value) : "");
                xmlFree(value);
            }
            Copy(node->children, element, document);
            break;
        }
        case XML_TEXT_NODE:
            if (!IsBlankText(content)) // as the system parser drops white space between elements
                document.AddText(parent, content);
            break;
        case XML_CDATA_SECTION_NODE:
            document.AddNode(parent, CFeedNode::CDATA_SECTION, "#cdata-section", content);
            break;
        default:
            break;
        }
    }
}

} // namespace

CLibxmlSystem::~CLibxmlSystem()
{
    xmlFreeDoc(static_cast<xmlDocPtr>(m_document));
}

bool CLibxmlSystem::Parse(const std::string& text, bool original)
{
    texts.push_back(text);
    originals.push_back(original);
    if (DetectByteForm(text) == ByteForm::kEightBit && !ParserKnows(DeclaredEncoding(text, false)))
        return false;
    xmlDocPtr document = xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr,
                                       XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!document)
        return false;
    xmlFreeDoc(static_cast<xmlDocPtr>(m_document));
    m_document = document;
    return true;
}

bool CLibxmlSystem::ConvertCodePage(const std::string& bytes, unsigned codePage, std::string& utf8)
{
    const char* name = IconvName(codePage);
    if (!name)
        return false;
    iconv_t converter = iconv_open("UTF-8", name);
    if (converter == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string in = bytes;
    utf8.assign(bytes.size() * 4 + 16, '\0');
    char* from = &in[0];
    size_t fromLeft = in.size();
    char* to = &utf8[0];
    size_t toLeft = utf8.size();
    while (fromLeft > 0) {
        if (iconv(converter, &from, &fromLeft, &to, &toLeft) != static_cast<size_t>(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break;
        ++from; // as the system's conversion does, a byte that is no character is passed over
        --fromLeft;
    }
    utf8.resize(utf8.size() - toLeft);
    iconv_close(converter);
    return true;
}

CTestDocument CLibxmlSystem::Document() const
{
    CTestDocument document;
    if (m_document)
        Copy(xmlDocGetRootElement(static_cast<xmlDocPtr>(m_document)), CTestDocument::kDocument, document);
    return document;
}
