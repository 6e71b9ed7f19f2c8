#pragma once
// One click on an element of a page, dispatched as it bubbles: a check box takes its new state,
// the clicked element's own handler runs, then each ancestor's, innermost first, then the
// document's with the clicked element as the source. The default action is kept only when
// every handler that ran answered true; a check box whose click was cancelled gets its old
// state back. Both browser controls dispatch their clicks here.

#include <functional>
#include <optional>

#include "platform/BrowserControl.h"
#include "platform/headless/HeadlessElement.h"

namespace KDAutoUpdate {

class HtmlClick {
public:
    using DocumentHandler = std::function<bool(const HtmlElementPtr& source)>;

    // `target` is the clicked element of the page's tree, `source` the element the document's
    // handler is given. `newChecked` is the state a check box takes (nullopt: no toggle).
    // `stillThere` is asked before every handler but the first: handlers may destroy the
    // control, and then the dispatch stops.
    static bool Dispatch(const HeadlessElementPtr& target, const HtmlElementPtr& source,
                         std::optional<bool> newChecked, DocumentHandler onDocument,
                         const std::function<bool()>& stillThere = {});

    // Runs a handler of the host; one that throws counts as having cancelled.
    template <typename Handler, typename... Args>
    static bool Answer(const Handler& handler, const Args&... args) {
        if (!handler)
            return true;
        try {
            return handler(args...);
        } catch (...) {
            return false;
        }
    }
};

} // namespace KDAutoUpdate
