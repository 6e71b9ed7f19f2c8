#include "ShellMembers.h"

#include "ShellValues.h"
#include "automation/AutomationDispatcher.h"

namespace KDAutoUpdate {

namespace {

const ClassDescription& Agent() {
    return AuAgentClass();
}

// Writes `value` to a property; prints the shell's type mismatch when the text does not read
// as the property's type.
void Write(std::ostream& out, void* self, const MemberDescription& put, const std::string& value) {
    const auto v = ParseShellValue(put.type, value);
    if (!v) {
        PrintShellError(out, {13, "Shell", "Type mismatch"});
        return;
    }
    if (const auto r = Invoke(self, put, {*v}); !r.ok())
        PrintShellError(out, r.error());
}

} // namespace

bool ShellMembers::ReadProperty(void* agent, const std::string& name) {
    const MemberDescription* get = FindMember(Agent(), name, MemberKind::PropertyGet);
    if (!get)
        return false;
    const auto r = Invoke(agent, *get, {});
    if (!r.ok())
        PrintShellError(m_out, r.error());
    else
        m_out << get->name << " = " << FormatShellValue(get->type, r.value().scalar) << '\n';
    return true;
}

bool ShellMembers::WriteProperty(void* agent, const std::string& name, const std::string& value) {
    const MemberDescription* put = FindMember(Agent(), name, MemberKind::PropertyPut);
    if (!put)
        return false;
    Write(m_out, agent, *put, value);
    return true;
}

std::string ShellMembers::RecordMethods(const char* separator) {
    std::string names;
    for (const auto& m : Agent().members)
        if (m.kind == MemberKind::Method && m.type == AuType::Object)
            names += (names.empty() ? "" : separator) + std::string(m.name);
    return names;
}

bool ShellMembers::CallMethod(void* agent, const std::string& name,
                              const std::vector<std::string>& tokens, const std::string& bindTo) {
    const MemberDescription* method = FindMember(Agent(), name, MemberKind::Method);
    if (!method)
        return false;
    std::map<std::string, Variant> named;
    for (size_t i = 1; i < tokens.size(); ++i) {
        const auto eq = tokens[i].find('=');
        if (eq == std::string::npos || eq == 0) {
            PrintSyntaxError(m_out, "argument must be name=value: " + tokens[i]);
            return true;
        }
        named[tokens[i].substr(0, eq)] = Variant(tokens[i].substr(eq + 1));
    }
    if (!bindTo.empty() && method->type != AuType::Object) {
        PrintSyntaxError(m_out, "only " + RecordMethods(" and ") + " return a record");
        return true;
    }
    std::string unknown;
    auto args = ArgumentsByName(*method, named, &unknown);
    if (!args) {
        PrintSyntaxError(m_out, std::string(method->name) + " has no argument " + unknown);
        return true;
    }
    for (size_t i = 0; i < args->size(); ++i) {
        Variant& a = (*args)[i];
        if (a.IsEmpty())
            continue;
        auto typed = ParseShellValue(method->arguments[i].type, a.Get<std::string>());
        if (!typed) {
            PrintShellError(m_out, {13, "Shell", "Type mismatch"});
            return true;
        }
        a = std::move(*typed);
    }
    const auto r = Invoke(agent, *method, std::move(*args));
    if (!r.ok()) {
        PrintShellError(m_out, r.error());
        return true;
    }
    if (bindTo.empty()) {
        PrintResult(std::string(method->name) + " -> ", *method, r.value());
        return true;
    }
    const AutomationObject& record = r.value().object;
    if (record.instance)
        m_records[bindTo] = record;
    else
        m_records.erase(bindTo);
    m_out << "set " << bindTo << " = "
          << (record.instance ? std::string(record.type->name) : "Nothing") << '\n';
    return true;
}

void ShellMembers::PrintResult(const std::string& prefix, const MemberDescription& member,
                               const AutomationValue& value) {
    m_out << prefix;
    if (member.type == AuType::Void)
        m_out << "Nothing";
    else if (member.type == AuType::Object)
        m_out << (value.object.instance ? value.object.type->name : "Nothing");
    else
        m_out << FormatShellValue(member.type, value.scalar);
    m_out << '\n';
}

void ShellMembers::RecordStatement(const std::string& var, const std::string& rest) {
    auto it = m_records.find(var);
    if (it == m_records.end()) {
        PrintSyntaxError(m_out, "no record bound to " + var);
        return;
    }
    const ClassDescription& type = *it->second.type;
    void* self = it->second.instance.get();
    if (const auto assignment = SplitAssignment(rest)) {
        const MemberDescription* put =
            FindMember(type, assignment->target, MemberKind::PropertyPut);
        if (!put)
            PrintSyntaxError(m_out, std::string(type.name) + " has no field " + assignment->target);
        else
            Write(m_out, self, *put, assignment->value);
        return;
    }
    const std::string member = TrimBlanks(rest);
    if (const MemberDescription* method = FindMember(type, member, MemberKind::Method)) {
        const auto r = Invoke(self, *method, {});
        if (!r.ok())
            PrintShellError(m_out, r.error());
        else
            PrintResult(var + '.' + std::string(method->name) + " -> ", *method, r.value());
        return;
    }
    const MemberDescription* get = FindMember(type, member, MemberKind::PropertyGet);
    if (!get) {
        PrintSyntaxError(m_out, std::string(type.name) + " has no member " + member);
        return;
    }
    const auto r = Invoke(self, *get, {});
    if (r.ok())
        PrintResult(var + '.' + std::string(get->name) + " = ", *get, r.value());
}

void ShellMembers::ShowRecord(const std::string& var) {
    auto it = m_records.find(var);
    if (it == m_records.end()) {
        m_out << var << " = Nothing\n";
        return;
    }
    for (const auto& m : it->second.type->members)
        if (m.kind == MemberKind::PropertyGet) {
            const auto r = Invoke(it->second.instance.get(), m, {});
            if (r.ok())
                PrintResult(var + '.' + std::string(m.name) + " = ", m, r.value());
        }
}

} // namespace KDAutoUpdate
