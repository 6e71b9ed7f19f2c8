#pragma once
// How much work a page may cost before the HTML parser sees it. The parser's cost grows with
// the square of the nesting depth (every new element looks through all open ones), so a page
// of a hundred thousand nested elements would hold the agent's only thread for half a minute.
//
// The check is a count over the tags, not a parse: an element whose end tag is left out
// counts as open, so the depth it finds is never below the real one.

#include <string>

namespace KDAutoUpdate::MarkupBounds {

// Far beyond any real message page, and cheap for the parser: a page at both limits parses
// in well under a second.
constexpr int kMaxDepth = 2000;
constexpr int kMaxElements = 100000;

bool IsWithinBounds(const std::string& html);

} // namespace KDAutoUpdate::MarkupBounds
