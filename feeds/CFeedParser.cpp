#include "feeds/CFeedParser.h"

#include "feeds/FeedFile.h"
#include "feeds/WideText.h"

#include <windows.h>
#include <msxml2.h>

namespace {

// The version-independent DOMDocument class and its interfaces (not in the import libraries).
const CLSID kClsidDomDocument = {0xF6D90F11, 0x9C73, 0x11D3, {0xB3, 0x2E, 0x00, 0xC0, 0x4F, 0x99, 0x0B, 0xB4}};
const IID kIidXmlDomDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kIidXmlDomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

} // namespace

IXMLDOMDocument* CFeedParser::Create()
{
    IXMLDOMDocument* document = nullptr;
    const HRESULT created = ::CoCreateInstance(kClsidDomDocument, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument,
                                               reinterpret_cast<void**>(&document));
    if (FAILED(created) || !document) {
        if (document)
            document->Release();
        return nullptr;
    }
    document->put_async(VARIANT_FALSE);
    // A feed must not make the parser read other files or addresses: an external entity could
    // pull a local file into the text of an item (and so into the link that a click opens).
    document->put_resolveExternals(VARIANT_FALSE);
    document->put_validateOnParse(VARIANT_FALSE);
    // Nor nest deeper than any feed does: a parser that descends recursively could run out of
    // stack. (The walk itself takes any depth.)
    IXMLDOMDocument2* document2 = nullptr;
    if (SUCCEEDED(document->QueryInterface(kIidXmlDomDocument2, reinterpret_cast<void**>(&document2))) && document2) {
        VARIANT depth;
        ::VariantInit(&depth);
        depth.vt = VT_I4;
        depth.lVal = kMaxElementDepth;
        BSTR name = ::SysAllocString(L"MaxElementDepth");
        document2->setProperty(name, depth);
        ::SysFreeString(name);
        document2->Release();
    }
    return document;
}

CFeedParser::CFeedParser(IXMLDOMDocument* document, const CString& path) : m_document(document), m_path(path) {}

bool CFeedParser::Parse(const std::string& text, bool original)
{
    if (!original && !WriteWholeFile(m_path, text))
        return false;
    const std::wstring widePath = AnsiToWide(m_path);
    VARIANT source;
    ::VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = ::SysAllocStringLen(widePath.data(), static_cast<UINT>(widePath.size()));
    VARIANT_BOOL loaded = VARIANT_FALSE;
    m_document->load(source, &loaded);
    ::VariantClear(&source);
    return loaded != VARIANT_FALSE;
}

bool CFeedParser::ConvertCodePage(const std::string& bytes, unsigned codePage, std::string& utf8)
{
    return CodePageToUtf8(bytes, codePage, utf8);
}

CString CFeedParser::RootName() const
{
    IXMLDOMElement* root = nullptr;
    CString name;
    if (m_document->get_documentElement(&root) == S_OK && root) {
        BSTR text = nullptr;
        root->get_nodeName(&text);
        if (text) {
            name = WideToAnsi(text, static_cast<int>(::SysStringLen(text)));
            ::SysFreeString(text);
        }
    }
    if (root)
        root->Release();
    return name;
}
