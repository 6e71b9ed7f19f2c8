#pragma once
// The text of a page as UTF-8, whatever encoding it came in: the one its byte-order mark
// shows, else the charset named by its Content-Type header, else the one its meta element
// names. A page that names none is taken as UTF-8 when its bytes are, else as windows-1252.
// Both browser controls build their documents from this text.

#include <string>
#include <string_view>

namespace KDAutoUpdate {

class PageEncoding {
public:
    // The charset parameter of a Content-Type value ("text/html; charset=ISO-8859-1"), in
    // lower case; empty when it names none.
    static std::string CharsetOf(std::string_view contentType);
    // The charset the page's own meta element names, in lower case; empty when none.
    static std::string MetaCharset(const std::string& page);
    // `page` converted to UTF-8 from its encoding; unchanged when that is UTF-8, unknown to the
    // system, or does not fit the bytes.
    static std::string ToUtf8(const std::string& page, std::string_view contentType);
};

} // namespace KDAutoUpdate
