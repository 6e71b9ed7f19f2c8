#include "platform/win32/MsXmlDocument.h"

#include "platform/EventLoop.h"
#include "platform/HttpFetcher.h"
#include "platform/win32/ComText.h"
#include "platform/win32/MsXmlElement.h"
#include "platform/win32/MsXmlGuids.h"
#include "platform/win32/ReadyStateSink.h"
#include "platform/win32/Win32DurableFile.h"
#include "platform/win32/WideText.h"

namespace KDAutoUpdate {

using Microsoft::WRL::ComPtr;

namespace {

// The URL moniker's codes, as MSXML reports them for its own loads.
constexpr long kHttpStatusError = static_cast<long>(0x800C0008); // status other than 2xx
constexpr long kUnreachable = static_cast<long>(0x800C0005);     // no answer at all

bool IsHttpUrl(const std::string& source) {
    auto starts = [&source](const char* prefix) {
        return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, source.c_str(),
                              static_cast<int>(std::min(source.size(), strlen(prefix))), prefix,
                              static_cast<int>(strlen(prefix))) == CSTR_EQUAL;
    };
    return starts("http://") || starts("https://");
}

} // namespace

MsXmlDocument::MsXmlDocument(ComPtr<IXMLDOMDocument2> doc, IHttpFetcher* http, IEventLoop* loop)
    : m_doc(std::move(doc)), m_http(http), m_loop(loop), m_alive(std::make_shared<int>(0)) {
    m_sink = new ReadyStateSink([this] {
        // Changes inside load() are reported after it, from the loop (see LoadNative).
        if (!m_nativeEvents || m_inLoad)
            return;
        if (readyState() == XmlReadyState::Complete) {
            if (m_reported)
                return;
            m_reported = true;
        }
        Notify();
    });
    VARIANT sink;
    VariantInit(&sink);
    sink.vt = VT_DISPATCH;
    sink.pdispVal = m_sink;
    m_doc->put_onreadystatechange(sink);
}

MsXmlDocument::~MsXmlDocument() {
    m_alive.reset();
    m_handler = nullptr;
    CancelRequest();
    m_sink->Detach();
    if (m_nativeEvents)
        m_doc->abort();
    VARIANT none;
    VariantInit(&none);
    none.vt = VT_NULL;
    m_doc->put_onreadystatechange(none);
    m_sink->Release();
}

void MsXmlDocument::CancelRequest() {
    ++m_generation;
    if (auto request = std::move(m_request))
        request->Abort();
}

bool MsXmlDocument::load(const std::string& source) {
    CancelRequest();
    m_nativeEvents = false;
    if (m_http && IsHttpUrl(source))
        return LoadThroughFetcher(source);
    return LoadNative(source);
}

bool MsXmlDocument::LoadNative(const std::string& source) {
    m_fetched = false;
    m_doc->put_async(m_async ? VARIANT_TRUE : VARIANT_FALSE);
    m_nativeEvents = m_async;
    m_reported = false;
    ComVariant where(source);
    VARIANT_BOOL ok = VARIANT_FALSE;
    m_inLoad = true;
    const HRESULT hr = m_doc->load(where.get(), &ok);
    m_inLoad = false;
    if (m_async && m_loop && readyState() == XmlReadyState::Complete) {
        // Finished inside load() (a local file, or an MSXML that loads synchronously and
        // raises no events): completion is still reported, once, after load() returned.
        const std::weak_ptr<int> alive = m_alive;
        const unsigned long generation = m_generation;
        m_loop->Post([this, alive, generation] {
            if (alive.expired() || generation != m_generation || m_reported)
                return;
            m_reported = true;
            Notify();
        });
    }
    return SUCCEEDED(hr) && (ok == VARIANT_TRUE || m_async);
}

bool MsXmlDocument::LoadThroughFetcher(const std::string& url) {
    m_fetched = true;
    m_fetchState = XmlReadyState::Loading;
    m_fetchError = 0;
    const unsigned long generation = m_generation;
    if (!m_async) {
        Complete(generation, m_http->GetSync(url));
        return m_fetchError == 0;
    }
    const std::weak_ptr<int> alive = m_alive;
    m_request = m_http->GetAsync(url, [this, alive, generation](const HttpResult& result) {
        if (!alive.expired())
            Complete(generation, result);
    });
    return true;
}

void MsXmlDocument::Complete(unsigned long generation, const HttpResult& result) {
    if (generation != m_generation)
        return;
    m_request.reset();
    if (result.error != 0) {
        loadXML(""); // an empty document, as after any failed load
        m_fetchError = result.error > 0 ? kHttpStatusError : kUnreachable;
    } else {
        // The body's bytes, so MSXML detects their encoding from the declaration.
        SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(result.body.size()));
        if (bytes && !result.body.empty()) {
            void* data = nullptr;
            SafeArrayAccessData(bytes, &data);
            memcpy(data, result.body.data(), result.body.size());
            SafeArrayUnaccessData(bytes);
        }
        VARIANT source;
        VariantInit(&source);
        source.vt = VT_ARRAY | VT_UI1;
        source.parray = bytes;
        m_doc->put_async(VARIANT_FALSE);
        VARIANT_BOOL ok = VARIANT_FALSE;
        m_doc->load(source, &ok);
        VariantClear(&source);
        m_fetched = false;
        m_fetchError = parseErrorCode();
    }
    m_fetched = true;
    m_fetchState = XmlReadyState::Complete;
    if (m_async)
        Notify();
}

void MsXmlDocument::Notify() {
    // A copy: the handler may destroy this document.
    if (auto handler = m_handler)
        handler();
}

bool MsXmlDocument::loadXML(std::string text) {
    CancelRequest();
    m_fetched = false;
    m_nativeEvents = false;
    ComString markup(text);
    VARIANT_BOOL ok = VARIANT_FALSE;
    return SUCCEEDED(m_doc->loadXML(markup.get(), &ok)) && ok == VARIANT_TRUE;
}

bool MsXmlDocument::save(const std::string& path) {
    // MSXML writes the file in place: a crash in the middle would leave half a store. It
    // writes a temporary file instead, which then replaces the old one whole.
    return Win32DurableFile::Replace(path, [this](const std::wstring& temp) {
        ComVariant where(Narrow(temp));
        return SUCCEEDED(m_doc->save(where.get()));
    });
}

XmlReadyState MsXmlDocument::readyState() const {
    if (m_fetched)
        return m_fetchState;
    long state = 0;
    if (FAILED(m_doc->get_readyState(&state)) || state < 0 || state > 4)
        return XmlReadyState::Uninitialized;
    return static_cast<XmlReadyState>(state);
}

long MsXmlDocument::parseErrorCode() const {
    if (m_fetched)
        return m_fetchError;
    ComPtr<IXMLDOMParseError> error;
    long code = 0;
    if (FAILED(m_doc->get_parseError(&error)) || !error || FAILED(error->get_errorCode(&code)))
        return E_FAIL;
    return code;
}

void MsXmlDocument::abort() {
    if (m_request) {
        m_request->Abort(); // its completion reports the failure
        return;
    }
    if (m_nativeEvents)
        m_doc->abort();
}

void MsXmlDocument::setOnReadyStateChange(std::function<void()> handler) {
    m_handler = std::move(handler);
}

XmlElementPtr MsXmlDocument::documentElement() {
    ComPtr<IXMLDOMElement> root;
    if (m_doc->get_documentElement(&root) != S_OK || !root)
        return nullptr;
    return std::make_shared<MsXmlElement>(root);
}

XmlElementPtr MsXmlDocument::createElement(const std::string& name) {
    ComString tag(name);
    ComPtr<IXMLDOMElement> element;
    if (FAILED(m_doc->createElement(tag.get(), &element)) || !element)
        return nullptr;
    return std::make_shared<MsXmlElement>(element);
}

std::string MsXmlDocument::xml() const {
    ComString text;
    m_doc->get_xml(text.out());
    return text.str();
}

} // namespace KDAutoUpdate
