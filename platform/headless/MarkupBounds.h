#pragma once
// How much work a page may cost before the HTML parser sees it. The parser's cost grows with
// the square of the nesting depth (every new element looks through all open ones), so a page
// of a hundred thousand nested elements would hold the agent's only thread for half a minute.
//
// The check reads the tags as the HTML tokenizer does (raw text of scripts and styles, comments,
// quoted attribute values) and follows the tree builder's stack of open elements where it
// decides the depth (OpenElementStack): the end tags HTML lets a page leave out close what
// they close in a parser, so a long list or table written that way is as shallow as it is.
// Where it simplifies, it keeps elements open, so the depth it finds is never below the real
// one.

#include <string>

namespace KDAutoUpdate::MarkupBounds {

// Far beyond any real message page, and cheap for the parser: a page at both limits parses
// in well under a second.
constexpr int kMaxDepth = 2000;
constexpr int kMaxElements = 100000;

bool IsWithinBounds(const std::string& html);

} // namespace KDAutoUpdate::MarkupBounds
