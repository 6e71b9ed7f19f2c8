// A page's texts are characters of its encoding, named by the HTTP header or by the page's
// meta element, whichever browser control shows it.

#include "tests/platform/BrowserBackends.h"

namespace KDAutoUpdate {
namespace {

class PageEncoding : public BrowserBackends {};

TEST_P(PageEncoding, ALatinOnePageGivesTheRightNames) {
    const std::string name = "Gr\xF6\xDF"
                             "e"; // "Größe" in ISO-8859-1
    const std::pair<std::string, std::string> cases[] = {
        {"text/html; charset=ISO-8859-1", ""},
        {"text/html", R"(<meta charset="iso-8859-1">)"},
        {"text/html",
         R"(<meta http-equiv="Content-Type" content="text/html; charset=windows-1252">)"},
    };
    for (const auto& [contentType, meta] : cases) {
        const HtmlDocumentPtr doc =
            Show("<html><head>" + meta + "</head><body><xml id=\"KdAutoUpdate\"><Messages>" +
                     "<Message id=\"m1\" name=\"" + name +
                     "\"/></Messages></xml><p id=\"p\" title=\"" + name + "\">x</p></body></html>",
                 contentType);
        ASSERT_NE(doc, nullptr);
        const std::string island =
            doc->GetElementById("KdAutoUpdate")->RawSource().value_or(std::string());
        EXPECT_NE(island.find("name=\"Größe\""), std::string::npos) << contentType << meta;
        EXPECT_EQ(doc->GetElementById("p")->GetAttribute("title"), "Größe") << contentType << meta;
        if (GetParam() == Backend::WebEngine) {
            EXPECT_EQ(Js("document.getElementById('p').title").toString(), "Größe");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Both, PageEncoding, BrowserBackends::Both(), BrowserBackends::Name);

} // namespace
} // namespace KDAutoUpdate
