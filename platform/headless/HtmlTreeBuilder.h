#pragma once
// Turns HTML text into the headless DOM with gumbo. Never fails: malformed markup gives the tree
// an HTML parser makes of it, and an empty or unparsable text gives <html><head><body>.

#include <memory>
#include <string>

#include "platform/headless/HeadlessElement.h"

namespace KDAutoUpdate {

class HtmlTreeBuilder {
public:
    // Deeper elements are attached to their ancestor at this depth, which bounds every
    // recursion over the tree (as browsers' parsers limit nesting too).
    static constexpr int kMaxDepth = 400;

    // The <html> element of a whole page; elements keep slices of `source`.
    static HeadlessElementPtr ParseDocument(const std::shared_ptr<const std::string>& source);

    // Parses `markup` as the content of `parent` and appends the nodes to it.
    static void ParseFragmentInto(HeadlessElement& parent, const std::string& markup);
};

} // namespace KDAutoUpdate
