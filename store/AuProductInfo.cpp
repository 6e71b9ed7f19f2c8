#include "AuProductInfo.h"

#include "common/IAgent.h"
#include "common/modMain.h"

namespace KDAutoUpdate {

namespace {
AutomationDate ReadDate(const XmlElementPtr& node, const char* name) {
    const std::string text = VarToStr(Variant::FromAttribute(node->getAttribute(name)), "");
    return ParseDate(text).value_or(AutomationDate{});
}
std::string ReadText(const XmlElementPtr& node, const char* name) {
    return VarToStr(Variant::FromAttribute(node->getAttribute(name)), "");
}
bool ReadFlag(const XmlElementPtr& node, const char* name) {
    return VarToBool(Variant::FromAttribute(node->getAttribute(name)), false);
}
} // namespace

IAgent* AuProductInfo::Agent() const {
    return ObjectFromPtr(m_agentPtr);
}

std::unique_ptr<AuProductInfo> AuProductInfo::Read(IAgent& agent) {
    if (agent.ProductCode().empty())
        return nullptr;
    const XmlElementPtr node = agent.GetProductNode();
    if (!node)
        return nullptr;
    auto info = std::make_unique<AuProductInfo>();
    info->SetAgentPtr(agent.Ptr());
    info->ProductCode = ReadText(node, "code");
    info->LastMessageStamp = ReadText(node, "last-message-stamp");
    info->LastInitDate = ReadDate(node, "last-init-date");
    info->LastCheckedDate = ReadDate(node, "last-checked-date");
    info->DoNotNotifyLastMessage = ReadFlag(node, "do-not-notify-last-message");
    info->InstallLastUpdateOnStartUp = ReadFlag(node, "install-last-update-on-startup");
    info->LastKillProcName = ReadText(node, "last-kill-proc-name");
    info->LastUpdateCmd = ReadText(node, "last-update-cmd");
    info->LastUpdateMessageID = ReadText(node, "last-update-message-id");
    info->LastUpdateName = ReadText(node, "last-update-name");
    return info;
}

void AuProductInfo::WriteToStore() {
    IAgent* agent = Agent();
    if (!agent)
        return;
    // Into the element of the agent's code at this moment, whatever ProductCode says.
    const auto write = [&](const char* name, const std::string& value) {
        agent->SetProductAttribute(name, value);
    };
    write("do-not-notify-last-message", DoNotNotifyLastMessage ? "1" : "0");
    write("install-last-update-on-startup", InstallLastUpdateOnStartUp ? "1" : "0");
    write("last-checked-date", FormatStoreDate(LastCheckedDate));
    write("last-init-date", FormatStoreDate(LastInitDate));
    write("last-kill-proc-name", LastKillProcName);
    write("last-message-stamp", LastMessageStamp);
    write("last-update-cmd", LastUpdateCmd);
    write("last-update-message-id", LastUpdateMessageID);
    write("last-update-name", LastUpdateName);
}

} // namespace KDAutoUpdate
