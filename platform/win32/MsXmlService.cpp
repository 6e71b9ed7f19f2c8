#include "platform/win32/MsXmlService.h"

#include <objbase.h>

#include "platform/win32/MsXmlDocument.h"
#include "platform/win32/MsXmlGuids.h"

namespace KDAutoUpdate {

MsXmlService::MsXmlService(IHttpFetcher* http, IEventLoop* loop) : m_http(http), m_loop(loop) {
    m_comEntered = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

MsXmlService::~MsXmlService() {
    if (m_comEntered)
        CoUninitialize();
}

std::unique_ptr<IXmlDocument> MsXmlService::CreateDocument() {
    Microsoft::WRL::ComPtr<IXMLDOMDocument2> doc;
    if (FAILED(CoCreateInstance(kClsidDOMDocument60, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IXMLDOMDocument2, &doc)) ||
        !doc)
        return nullptr;
    return std::make_unique<MsXmlDocument>(doc, m_http, m_loop);
}

} // namespace KDAutoUpdate
