#include "platform/pugixml/PugiXmlSerializer.h"

#include <cstring>
#include <vector>

namespace KDAutoUpdate {

namespace {

void AppendEscaped(std::string& out, const char* text, bool attribute) {
    // Runs of characters that need no escaping are copied in one piece.
    const char* run = text;
    for (const char* p = text; *p; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        const bool plain = c >= 32 ? (c != '&' && c != '<' && c != '>' && (c != '"' || !attribute))
                                   : (!attribute && (c == '\t' || c == '\n' || c == '\r'));
        if (plain)
            continue;
        out.append(run, static_cast<size_t>(p - run));
        run = p + 1;
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            // Line breaks and tabs in attributes would read back as blanks; other control
            // characters cannot stand as themselves anywhere.
            out += "&#" + std::to_string(c) + ";";
        }
    }
    out.append(run, std::strlen(run));
}

void AppendAttributes(std::string& out, const pugi::xml_node& node) {
    for (const pugi::xml_attribute& attribute : node.attributes()) {
        out += ' ';
        out += attribute.name();
        out += "=\"";
        AppendEscaped(out, attribute.value(), true);
        out += '"';
    }
}

void AppendCData(std::string& out, const char* value) {
    // "]]>" cannot stand inside one section: it is split over two.
    out += "<![CDATA[";
    for (const char* p = value; *p; ++p) {
        if (std::strncmp(p, "]]>", 3) == 0) {
            out += "]]]]><![CDATA[>";
            p += 2;
        } else {
            out += *p;
        }
    }
    out += "]]>";
}

// Everything but an element's children and end tag.
void AppendOpening(std::string& out, const pugi::xml_node& node) {
    switch (node.type()) {
    case pugi::node_element:
        out += '<';
        out += node.name();
        AppendAttributes(out, node);
        out += node.first_child() ? ">" : " />";
        break;
    case pugi::node_pcdata:
        AppendEscaped(out, node.value(), false);
        break;
    case pugi::node_cdata:
        AppendCData(out, node.value());
        break;
    case pugi::node_comment:
        out += "<!--";
        out += node.value();
        out += "-->";
        break;
    case pugi::node_pi:
        out += "<?";
        out += node.name();
        if (*node.value()) {
            out += ' ';
            out += node.value();
        }
        out += "?>";
        break;
    case pugi::node_declaration:
        out += "<?";
        out += node.name();
        AppendAttributes(out, node);
        out += "?>";
        break;
    case pugi::node_doctype:
        out += "<!DOCTYPE ";
        out += node.value();
        out += '>';
        break;
    default:
        break;
    }
}

} // namespace

namespace {

constexpr std::size_t kPieceBytes = 64 * 1024;

// Walks `node` and appends its markup to `out`. With a `sink`, every piece of about
// kPieceBytes goes there and `out` starts again, so a large store is never whole in memory.
bool Walk(const pugi::xml_node& node, std::string& out, const PugiXmlSerializer::Sink* sink) {
    if (!node)
        return true;
    auto pass = [&] {
        if (!sink || out.size() < kPieceBytes)
            return true;
        const bool written = (*sink)(out);
        out.clear();
        return written;
    };
    // Iterative walk: a deeply nested answer from a server must not exhaust the stack.
    const pugi::xml_node top = node;
    pugi::xml_node current = node.type() == pugi::node_document ? node.first_child() : node;
    const pugi::xml_node stop = node.type() == pugi::node_document ? node : pugi::xml_node();
    while (current) {
        AppendOpening(out, current);
        if (!pass())
            return false;
        if (current.type() == pugi::node_element && current.first_child()) {
            current = current.first_child();
            continue;
        }
        // Close finished elements on the way up until a next sibling is found.
        while (current) {
            if (current == top)
                return true;
            if (current.next_sibling()) {
                current = current.next_sibling();
                break;
            }
            current = current.parent();
            if (current == stop)
                return true;
            out += "</";
            out += current.name();
            out += '>';
        }
    }
    return true;
}

} // namespace

std::string PugiXmlSerializer::Serialize(const pugi::xml_node& node) {
    std::string out;
    Walk(node, out, nullptr);
    return out;
}

bool PugiXmlSerializer::Serialize(const pugi::xml_node& node, std::string head, const Sink& sink) {
    std::string out = std::move(head);
    out.reserve(kPieceBytes + 4096);
    return Walk(node, out, &sink) && (out.empty() || sink(out));
}

std::string PugiXmlSerializer::Utf8ToLatin1(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        if (i + length > text.size() || lead < 0xC0) {
            out += static_cast<char>(lead); // not UTF-8: passed through
            ++i;
            continue;
        }
        unsigned long codePoint = length == 1 ? lead : lead & (0x7FU >> length);
        for (std::size_t k = 1; k < length; ++k)
            codePoint = (codePoint << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3FU);
        if (codePoint <= 0xFF)
            out += static_cast<char>(static_cast<unsigned char>(codePoint));
        else
            out += "&#" + std::to_string(codePoint) + ";";
        i += length;
    }
    return out;
}

} // namespace KDAutoUpdate
