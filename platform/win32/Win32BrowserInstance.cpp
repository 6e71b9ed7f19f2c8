#include "platform/win32/Win32BrowserInstance.h"

#include <mshtml.h>
#include <ocidl.h>

#include "platform/win32/ComText.h"
#include "platform/win32/Win32BrowserDocument.h"

namespace KDAutoUpdate {

using Microsoft::WRL::ComPtr;

std::unique_ptr<Win32BrowserInstance> Win32BrowserInstance::Create(short id, const Shared& shared) {
    std::unique_ptr<Win32BrowserInstance> instance(new Win32BrowserInstance(id, shared));
    if (!instance->Activate())
        return nullptr;
    return instance;
}

Win32BrowserInstance::Win32BrowserInstance(short id, const Shared& shared)
    : m_id(id), m_shared(shared), m_site(new Win32BrowserSite(this)),
      m_sink(new Win32BrowserEvents(this)) {}

bool Win32BrowserInstance::Activate() {
    if (FAILED(CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&m_object))) ||
        FAILED(m_object->SetClientSite(m_site)))
        return false;
    RECT client{};
    GetClientRect(m_shared.window, &client);
    if (FAILED(m_object->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, m_site, 0, m_shared.window,
                                &client)) ||
        FAILED(m_object.As(&m_browser)))
        return false;
    m_browser->put_Silent(VARIANT_TRUE); // no script error boxes
    m_browser->put_RegisterAsDropTarget(VARIANT_FALSE);
    ComPtr<IConnectionPointContainer> points;
    if (FAILED(m_object.As(&points)) ||
        FAILED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, &m_connection)) ||
        FAILED(m_connection->Advise(m_sink, &m_cookie))) {
        m_connection.Reset();
        return false;
    }
    Show(false);
    return true;
}

Win32BrowserInstance::~Win32BrowserInstance() {
    m_site->Detach();
    m_sink->Detach();
    if (m_connection)
        m_connection->Unadvise(m_cookie);
    m_connection.Reset();
    if (m_browser)
        m_browser->Stop();
    m_browser.Reset();
    if (m_object) {
        m_object->Close(OLECLOSE_NOSAVE);
        m_object->SetClientSite(nullptr);
    }
    m_object.Reset();
    m_sink->Release();
    m_site->Release();
}

bool Win32BrowserInstance::Navigate(const std::string& url) {
    ComString address(url);
    ComVariant none1, none2, none3, none4;
    return SUCCEEDED(
        m_browser->Navigate(address.get(), &none1.get(), &none2.get(), &none3.get(), &none4.get()));
}

HtmlDocumentPtr Win32BrowserInstance::Document() const {
    ComPtr<IDispatch> dispatch;
    ComPtr<IHTMLDocument2> document;
    if (FAILED(m_browser->get_Document(&dispatch)) || !dispatch || FAILED(dispatch.As(&document)))
        return nullptr;
    return std::make_shared<Win32BrowserDocument>(document);
}

HWND Win32BrowserInstance::ObjectWindow() const {
    ComPtr<IOleInPlaceObject> inPlace;
    HWND window = nullptr;
    if (SUCCEEDED(m_object.As(&inPlace)))
        inPlace->GetWindow(&window);
    return window;
}

void Win32BrowserInstance::Show(bool visible) {
    if (const HWND window = ObjectWindow())
        ShowWindow(window, visible ? SW_SHOW : SW_HIDE);
}

void Win32BrowserInstance::Fit() {
    ComPtr<IOleInPlaceObject> inPlace;
    RECT client{};
    GetClientRect(m_shared.window, &client);
    if (SUCCEEDED(m_object.As(&inPlace)))
        inPlace->SetObjectRects(&client, &client);
}

bool Win32BrowserInstance::TranslateKey(MSG& message) {
    ComPtr<IOleInPlaceActiveObject> active;
    return SUCCEEDED(m_object.As(&active)) && active->TranslateAccelerator(&message) == S_OK;
}

bool Win32BrowserInstance::Owns(HWND window) const {
    const HWND own = ObjectWindow();
    return own && (window == own || IsChild(own, window));
}

bool Win32BrowserInstance::KeyHandled(int keyCode, int modifiers) {
    bool handled = false;
    if (m_shared.events)
        m_shared.events->TranslateAccelerator(m_id, keyCode, modifiers, handled);
    return handled;
}

bool Win32BrowserInstance::MessageHandled(const std::string& text, const std::string& caption) {
    bool handled = false;
    if (m_shared.events)
        m_shared.events->ShowMessage(m_id, text, caption, handled);
    return handled;
}

bool Win32BrowserInstance::IsTopFrame(IDispatch* frame) const {
    if (!frame || !m_browser)
        return false;
    ComPtr<IUnknown> theirs, ours;
    return SUCCEEDED(frame->QueryInterface(IID_PPV_ARGS(&theirs))) &&
           SUCCEEDED(m_browser.As(&ours)) && theirs.Get() == ours.Get();
}

void Win32BrowserInstance::DocumentComplete(const std::string& url) {
    if (m_shared.events)
        m_shared.events->DocumentComplete(m_id, url);
}

void Win32BrowserInstance::NavigateError(const std::string& url, long statusCode, bool& cancel) {
    if (m_shared.events)
        m_shared.events->NavigateError(m_id, url, statusCode, cancel);
}

void Win32BrowserInstance::NewWindow3(bool& cancel, const std::string& url) {
    if (m_shared.events)
        m_shared.events->NewWindow3(m_id, cancel, url);
}

} // namespace KDAutoUpdate
