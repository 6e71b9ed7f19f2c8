// The service page in the headless HTML reader: island, close element, every element read.

#include <cstdint>
#include <string>

#include "platform/headless/HeadlessDocument.h"
#include "platform/headless/HeadlessElement.h"

using namespace KDAutoUpdate;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    HeadlessDocument doc("http://svc.test/InitUpdate.aspx",
                         std::string(reinterpret_cast<const char*>(data), size));
    if (const HtmlElementPtr island = doc.GetElementById("KdAutoUpdate"))
        island->RawSource();
    doc.GetElementById("cmdClose");
    for (const HeadlessElementPtr& element :
         doc.Find([](const HeadlessElement&) { return true; }, 2000)) {
        element->GetAttribute("auButtonType");
        element->InnerHTML();
        element->Checked();
    }
    return 0;
}
