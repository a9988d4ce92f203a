#include "feeds/CFeedParser.h"

#include "feeds/FeedFile.h"
#include "feeds/WideText.h"
#include "fw/CBstr.h"

#include <windows.h>
#include <msxml2.h>

namespace {

// The version-independent DOMDocument class and its interfaces (not in the import libraries).
const CLSID kClsidDomDocument = {0xF6D90F11, 0x9C73, 0x11D3, {0xB3, 0x2E, 0x00, 0xC0, 0x4F, 0x99, 0x0B, 0xB4}};
const IID kIidXmlDomDocument = {0x2933BF81, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};
const IID kIidXmlDomDocument2 = {0x2933BF95, 0x7B36, 0x11D2, {0xB2, 0x0E, 0x00, 0xC0, 0x4F, 0x98, 0x3E, 0x60}};

} // namespace

bool CFeedParser::Create(CComPtr<IXMLDOMDocument>& document)
{
    const HRESULT created = ::CoCreateInstance(kClsidDomDocument, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument,
                                               reinterpret_cast<void**>(document.Receive()));
    if (FAILED(created) || !document) {
        document.Reset();
        return false;
    }
    document->put_async(VARIANT_FALSE);
    // A feed must not make the parser read other files or addresses: an external entity could
    // pull a local file into the text of an item (and so into the link that a click opens).
    document->put_resolveExternals(VARIANT_FALSE);
    document->put_validateOnParse(VARIANT_FALSE);
    // Nor nest deeper than any feed does: a parser that descends recursively could run out of
    // stack. (The walk itself takes any depth.)
    CComPtr<IXMLDOMDocument2> document2;
    if (SUCCEEDED(document->QueryInterface(kIidXmlDomDocument2, reinterpret_cast<void**>(document2.Receive())))
        && document2) {
        VARIANT depth;
        ::VariantInit(&depth);
        depth.vt = VT_I4;
        depth.lVal = kMaxElementDepth;
        const CBstr name(L"MaxElementDepth");
        document2->setProperty(name.Get(), depth);
    }
    return true;
}

CFeedParser::CFeedParser(IXMLDOMDocument* document, const CString& path) : m_document(document), m_path(path) {}

bool CFeedParser::Parse(const std::string& text, bool original)
{
    if (!original && !WriteWholeFile(m_path, text))
        return false;
    const std::wstring widePath = AnsiToWide(m_path);
    const CBstr file(widePath.data(), widePath.size());
    VARIANT source;
    ::VariantInit(&source);
    source.vt = VT_BSTR;
    source.bstrVal = file.Get(); // lent: the variant is not cleared
    VARIANT_BOOL loaded = VARIANT_FALSE;
    m_document->load(source, &loaded);
    return loaded != VARIANT_FALSE;
}

bool CFeedParser::ConvertCodePage(const std::string& bytes, unsigned codePage, std::string& utf8)
{
    return CodePageToUtf8(bytes, codePage, utf8);
}

CString CFeedParser::RootName() const
{
    CComPtr<IXMLDOMElement> root;
    CString name;
    if (m_document->get_documentElement(root.Receive()) == S_OK && root) {
        CBstr text;
        root->get_nodeName(text.Receive());
        if (text)
            name = WideToAnsi(text.Get(), static_cast<int>(text.Length()));
    }
    return name;
}
