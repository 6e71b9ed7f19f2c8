#include "com/ComDualWriter.h"

#include <sstream>

#include "com/DispatchIds.h"
#include "com/IdlWriter.h"

namespace KDAutoUpdate {

namespace {

void WriteMember(std::ostream& out, const MemberDescription& m, int id) {
    std::string prefix;
    std::vector<std::string> parameters;
    std::string forwarded;
    for (const ArgumentDescription& a : m.arguments) {
        parameters.push_back(IdlTypeName(a.type, nullptr) + (a.byRef ? "* " : " ") +
                             std::string(a.name));
        forwarded += ", " + std::string(a.name);
    }
    std::string body;
    const std::string type = IdlTypeName(m.type, m.resultClass);
    if (m.kind == MemberKind::PropertyGet) {
        prefix = "get_";
        parameters.push_back(type + "* result");
        body = "Get(" + std::to_string(id) + ", result)";
    } else if (m.kind == MemberKind::PropertyPut) {
        prefix = "put_";
        parameters.push_back(type + " value");
        body = "Put(" + std::to_string(id) + ", value)";
    } else {
        const bool hasResult = m.type != AuType::Void;
        if (hasResult)
            parameters.push_back(type + "* result");
        body =
            "Call(" + std::to_string(id) + (hasResult ? ", result" : ", nullptr") + forwarded + ")";
    }
    out << "    HRESULT STDMETHODCALLTYPE " << prefix << m.name << "(";
    for (std::size_t i = 0; i < parameters.size(); ++i)
        out << (i ? ", " : "") << parameters[i];
    out << ") override { return " << body << "; }\n";
}

} // namespace

std::string WriteDualInterfaces() {
    std::ostringstream out;
    out << "// Written from the automation description by com/ComDualWriter.cpp; do not edit.\n"
        << "// clang-format off\n"
        << "#include \"KDAutoUpdate_h.h\"\n"
        << "#include \"com/ComDualInterface.h\"\n\n"
        << "namespace KDAutoUpdate {\n\nnamespace {\n\n";
    for (const ClassDescription* c : PublishedClasses()) {
        if (c->interfaceId.empty())
            continue;
        out << "class " << c->name << "Dual : public ComDual<" << c->interfaceName << "> {\n"
            << "public:\n    using ComDual::ComDual;\n";
        const std::vector<int> ids = DispatchIds(*c);
        for (std::size_t slot = 0; slot < c->members.size(); ++slot)
            WriteMember(out, c->members[slot], ids[slot]);
        out << "};\n\n";
    }
    out << "} // namespace\n\n"
        << "std::shared_ptr<IDispatch> NewDualInterface(std::string_view interfaceName, "
           "IDispatch& owner) {\n";
    for (const ClassDescription* c : PublishedClasses())
        if (!c->interfaceId.empty())
            out << "    if (interfaceName == \"" << c->interfaceName << "\")\n"
                << "        return std::make_shared<" << c->name << "Dual>(owner);\n";
    out << "    return nullptr;\n}\n\n} // namespace KDAutoUpdate\n";
    return out.str();
}

} // namespace KDAutoUpdate
