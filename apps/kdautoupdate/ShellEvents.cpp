#include "ShellEvents.h"

#include "ShellValues.h"

namespace KDAutoUpdate {

namespace {

std::string Key(std::string_view event, std::string_view argument) {
    return std::string(event) + "." + std::string(argument);
}

// A text argument named ...XML holds a whole document: it goes on its own line after the
// event's line rather than among the short values.
bool IsDocument(const ArgumentDescription& a) {
    const std::string_view suffix = "XML";
    return a.type == AuType::String && a.name.size() > suffix.size() &&
           a.name.substr(a.name.size() - suffix.size()) == suffix;
}

std::string OnUsage() {
    std::string usage;
    for (const EventDescription& e : AuAgentClass().events)
        for (const ArgumentDescription& a : e.arguments)
            if (a.byRef)
                usage += std::string(usage.empty() ? "" : "; ") + "on " + std::string(e.name) +
                         " " + std::string(a.name) + "=" +
                         (a.type == AuType::Boolean ? "True|False" : "value");
    return usage;
}

} // namespace

std::string ShellEvents::EventName(const std::string& name) const {
    for (const EventDescription& e : AuAgentClass().events)
        if (SameName(std::string(e.name), name))
            return std::string(e.name);
    return {};
}

void ShellEvents::On(const std::vector<std::string>& tokens) {
    if (tokens.size() == 3) {
        const std::string event = EventName(tokens[1]);
        const auto equals = tokens[2].find('=');
        for (const EventDescription& e : AuAgentClass().events) {
            if (e.name != event || equals == std::string::npos)
                continue;
            for (const ArgumentDescription& a : e.arguments) {
                if (!a.byRef || !SameName(std::string(a.name), tokens[2].substr(0, equals)))
                    continue;
                if (const auto v = ParseShellValue(a.type, tokens[2].substr(equals + 1))) {
                    m_answers[Key(e.name, a.name)] = *v;
                    return;
                }
            }
        }
    }
    PrintSyntaxError(m_out, OnUsage());
}

void ShellEvents::Raise(const EventDescription& event, std::vector<Variant>& args) {
    m_out << "Event " << event.name;
    for (std::size_t i = 0; i < args.size(); ++i)
        if (!IsDocument(event.arguments[i]))
            m_out << ' ' << event.arguments[i].name << '='
                  << FormatShellValue(event.arguments[i].type, args[i]);
    m_out << '\n';
    for (std::size_t i = 0; i < args.size(); ++i)
        if (IsDocument(event.arguments[i]))
            m_out << "  xml: " << FormatShellValue(event.arguments[i].type, args[i]) << '\n';
    for (std::size_t i = 0; i < args.size(); ++i) {
        const auto answer = m_answers.find(Key(event.name, event.arguments[i].name));
        if (event.arguments[i].byRef && answer != m_answers.end())
            args[i] = answer->second;
    }
    ++m_pending[std::string(event.name)];
    m_out.flush();
}

} // namespace KDAutoUpdate
