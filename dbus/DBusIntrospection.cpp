#include "DBusIntrospection.h"

#include "DBusNames.h"
#include "automation/AutomationDispatcher.h"

namespace KDAutoUpdate {

namespace {

std::string Arg(std::string_view name, AuType type, const char* direction) {
    return "      <arg name=\"" + std::string(name) + "\" type=\"" + DBusSignature(type) +
           "\" direction=\"" + direction + "\"/>\n";
}

std::string Method(std::string_view name, const std::string& args) {
    return "    <method name=\"" + std::string(name) + "\">\n" + args + "    </method>\n";
}

bool HasOptionalArguments(const MemberDescription& m) {
    for (const auto& a : m.arguments)
        if (a.optional)
            return true;
    return false;
}

} // namespace

bool HandedOutToHosts(const ClassDescription& type) {
    if (type.creatable)
        return true;
    for (const auto& m : AuAgentClass().members)
        if (m.kind == MemberKind::Method && m.resultClass == &type)
            return true;
    return false;
}

const char* DBusSignature(AuType type) {
    switch (type) {
    case AuType::Boolean:
        return "b";
    case AuType::Long:
        return "i";
    case AuType::String:
        return "s";
    case AuType::Date:
        return "d";
    case AuType::Object:
        return "o";
    case AuType::Void:
        break;
    }
    return "";
}

std::string InterfaceXml(const ClassDescription& type) {
    std::string xml = "  <interface name=\"" + std::string(DBusNames::kInterfacePrefix) +
                      std::string(type.name) + "\">\n";
    for (const auto& m : type.members) {
        if (m.kind == MemberKind::PropertyPut)
            continue;
        if (m.kind == MemberKind::PropertyGet) {
            // Computed or changed by the agent's own work: no change signals.
            const bool writable = FindMember(type, m.name, MemberKind::PropertyPut) != nullptr;
            xml += "    <property name=\"" + std::string(m.name) + "\" type=\"" +
                   DBusSignature(m.type) + "\" access=\"" + (writable ? "readwrite" : "read") +
                   "\">\n      <annotation name=\"org.freedesktop.DBus.Property."
                   "EmitsChangedSignal\" value=\"false\"/>\n    </property>\n";
            continue;
        }
        std::string args;
        for (const auto& a : m.arguments)
            args += Arg(a.name, a.type, "in");
        const std::string result =
            m.type == AuType::Void ? std::string() : Arg("result", m.type, "out");
        xml += Method(m.name, args + result);
        if (HasOptionalArguments(m))
            xml += Method(std::string(m.name) + DBusNames::kNamedSuffix,
                          "      <arg name=\"args\" type=\"a{sv}\" direction=\"in\"/>\n" + result);
    }
    for (const auto& e : type.events) {
        xml += "    <signal name=\"" + std::string(e.name) + "\">\n";
        for (const auto& a : e.arguments)
            xml += "      <arg name=\"" + std::string(a.name) + "\" type=\"" +
                   DBusSignature(a.type) + "\"/>\n";
        xml += "    </signal>\n";
    }
    if (!type.events.empty())
        xml += Method("SetEventSink", Arg("sink", AuType::Object, "in")) +
               Method("GetLastError", Arg("number", AuType::Long, "out") +
                                          Arg("source", AuType::String, "out") +
                                          Arg("description", AuType::String, "out"));
    if (!HandedOutToHosts(type))
        return xml + "  </interface>\n";
    return xml + Method("Release", "") + "  </interface>\n";
}

std::string FactoryInterfaceXml() {
    return "  <interface name=\"" + std::string(DBusNames::kFactoryInterface) + "\">\n" +
           Method("CreateAgent", Arg("agent", AuType::Object, "out")) +
           Method("CreateAgentUntilRelease", Arg("agent", AuType::Object, "out")) +
           "  </interface>\n";
}

std::string EventsInterfaceXml() {
    // The sink answers the events whose byRef arguments the agent reads back.
    std::string methods;
    for (const auto& e : AuAgentClass().events) {
        std::string in, out;
        for (const auto& a : e.arguments) {
            in += Arg(a.name, a.type, "in");
            if (a.byRef)
                out += Arg(a.name, a.type, "out");
        }
        if (!out.empty())
            methods += Method(e.name, in + out);
    }
    return "  <interface name=\"" + std::string(DBusNames::kEventsInterface) + "\">\n" + methods +
           "  </interface>\n";
}

std::vector<std::string> PublishedInterfaceNames() {
    std::vector<std::string> names = {DBusNames::kFactoryInterface, DBusNames::kEventsInterface};
    for (const ClassDescription* c : PublishedClasses())
        names.push_back(DBusNames::kInterfacePrefix + std::string(c->name));
    return names;
}

std::string IntrospectionDocument(const std::string& name) {
    std::string body;
    if (name == DBusNames::kFactoryInterface)
        body = FactoryInterfaceXml();
    else if (name == DBusNames::kEventsInterface)
        body = EventsInterfaceXml();
    for (const ClassDescription* c : PublishedClasses())
        if (name == DBusNames::kInterfacePrefix + std::string(c->name))
            body = InterfaceXml(*c);
    if (body.empty())
        return {};
    return "<!DOCTYPE node PUBLIC \"-//freedesktop//DTD D-BUS Object Introspection 1.0//EN\"\n"
           " \"http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd\">\n<node>\n" +
           body + "</node>\n";
}

} // namespace KDAutoUpdate
