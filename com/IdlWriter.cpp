#include "com/IdlWriter.h"

#include <sstream>

#include "common/modMain.h"
#include "automation/AutomationDescription.h"
#include "com/DispatchIds.h"

namespace KDAutoUpdate {

namespace {

std::string Bare(std::string_view guid) {
    std::string s(guid);
    if (!s.empty() && s.front() == '{')
        s = s.substr(1, s.size() - 2);
    return s;
}

} // namespace

std::string IdlTypeName(AuType type, const ClassDescription* cls) {
    switch (type) {
    case AuType::Boolean:
        return "VARIANT_BOOL";
    case AuType::Long:
        return "long";
    case AuType::String:
        return "BSTR";
    case AuType::Date:
        return "DATE";
    case AuType::Object:
        return cls && !cls->interfaceId.empty() ? std::string(cls->interfaceName) + "*"
                                                : "IDispatch*";
    case AuType::Void:
        break;
    }
    return "void";
}

namespace {

std::string Argument(const ArgumentDescription& a) {
    std::string attributes = a.byRef ? "in, out" : "in";
    if (a.optional) {
        // A missing Boolean without default is False.
        const Variant fallback = a.defaultValue.value_or(Variant(false));
        const std::string value = a.type == AuType::Boolean
                                      ? (VarToBool(fallback, false) ? "-1" : "0")
                                      : std::to_string(VarToLong(fallback, 0));
        attributes += ", optional, defaultvalue(" + value + ")";
    }
    return "[" + attributes + "] " + IdlTypeName(a.type, nullptr) + (a.byRef ? "* " : " ") +
           std::string(a.name);
}

void WriteInterface(std::ostream& out, const ClassDescription& c) {
    out << "    [uuid(" << Bare(c.interfaceId) << "), dual, oleautomation, nonextensible]\n"
        << "    interface " << c.interfaceName << " : IDispatch {\n";
    const std::vector<int> ids = DispatchIds(c);
    for (std::size_t slot = 0; slot < c.members.size(); ++slot) {
        const MemberDescription& m = c.members[slot];
        std::vector<std::string> args;
        for (const ArgumentDescription& a : m.arguments)
            args.push_back(Argument(a));
        std::string attribute;
        if (m.kind == MemberKind::PropertyGet)
            attribute = ", propget";
        else if (m.kind == MemberKind::PropertyPut)
            attribute = ", propput";
        if (m.kind == MemberKind::PropertyPut)
            args.push_back("[in] " + IdlTypeName(m.type, m.resultClass) + " value");
        else if (m.type != AuType::Void)
            args.push_back("[out, retval] " + IdlTypeName(m.type, m.resultClass) + "* result");
        out << "        [id(" << ids[slot] << ")" << attribute << "] HRESULT " << m.name << "(";
        for (std::size_t i = 0; i < args.size(); ++i)
            out << (i ? ", " : "") << args[i];
        out << ");\n";
    }
    out << "    };\n\n";
}

void WriteEvents(std::ostream& out, const ClassDescription& c) {
    out << "    [uuid(" << Bare(c.eventInterfaceId) << ")]\n"
        << "    dispinterface " << c.eventInterfaceName << " {\n"
        << "    properties:\n    methods:\n";
    for (std::size_t index = 0; index < c.events.size(); ++index) {
        const EventDescription& e = c.events[index];
        out << "        [id(" << EventDispatchId(index) << ")] void " << e.name << "(";
        for (std::size_t i = 0; i < e.arguments.size(); ++i)
            out << (i ? ", " : "") << Argument(e.arguments[i]);
        out << ");\n";
    }
    out << "    };\n\n";
}

} // namespace

std::string WriteIdl() {
    std::ostringstream out;
    out << "// Written from the automation description by com/IdlWriter.cpp; do not edit.\n"
        << "import \"oaidl.idl\";\n\n"
        << "[uuid(" << Bare(kTypeLibraryId) << "), version(1.2)]\n"
        << "library " << kTypeLibraryName << " {\n"
        << "    importlib(\"stdole2.tlb\");\n\n";
    for (const ClassDescription* c : PublishedClasses())
        if (!c->interfaceId.empty())
            out << "    interface " << c->interfaceName << ";\n";
    out << "\n";
    for (const EnumDescription& e : PublishedEnumerations()) {
        out << "    [uuid(" << Bare(e.id) << "), v1_enum]\n    typedef enum " << e.name << " {\n";
        for (std::size_t i = 0; i < e.values.size(); ++i)
            out << "        " << e.values[i].first << " = " << e.values[i].second
                << (i + 1 < e.values.size() ? ",\n" : "\n");
        out << "    } " << e.name << ";\n\n";
    }
    for (const ClassDescription* c : PublishedClasses()) {
        if (c->interfaceId.empty())
            continue; // a collection of the runtime, reached as IDispatch
        WriteInterface(out, *c);
        if (!c->eventInterfaceName.empty())
            WriteEvents(out, *c);
    }
    for (const ClassDescription* c : PublishedClasses()) {
        if (c->classId.empty())
            continue;
        out << "    [uuid(" << Bare(c->classId) << ")" << (c->creatable ? "" : ", noncreatable")
            << "]\n    coclass " << c->name << " {\n"
            << "        [default] interface " << c->interfaceName << ";\n";
        if (!c->eventInterfaceName.empty())
            out << "        [default, source] dispinterface " << c->eventInterfaceName << ";\n";
        out << "    };\n\n";
    }
    out << "};\n";
    return out.str();
}

} // namespace KDAutoUpdate
