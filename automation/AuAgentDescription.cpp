// The members of _AuAgent in their slot order and the events of __AuAgent.

#include "MemberBindings.h"
#include "agent/AuAgent.h"
#include "store/AuProductInfo.h"

namespace KDAutoUpdate {

namespace {

using namespace Bindings;

AuAgent& Self(void* self) {
    return *static_cast<AuAgent*>(self);
}

Outcome<AutomationValue> Record(std::unique_ptr<AuProductInfo> record) {
    AutomationValue v;
    v.object.type = &AuProductInfoClass();
    v.object.instance = std::shared_ptr<AuProductInfo>(std::move(record));
    return v;
}

ArgumentDescription OptionalBoolean(std::string_view name, std::optional<Variant> defaultValue) {
    return {name, AuType::Boolean, true, true, std::move(defaultValue)};
}

ClassDescription Describe() {
    ClassDescription c;
    c.name = "AuAgent";
    c.interfaceName = "_AuAgent";
    c.classId = "{BDFEE667-B3E0-491F-8F46-F577DC54081D}";
    c.interfaceId = "{6F68DA2F-3283-49A3-B262-F4EA15E86B46}";
    c.creatable = true;
    auto& m = c.members;
    Property(m, "IsProcessing", AuType::Boolean, &CallGet<&AuAgent::IsProcessing>, nullptr);
    Accessors<&AuAgent::BaseURL, &AuAgent::SetBaseURL>(m, "BaseURL", AuType::String);
    Accessors<&AuAgent::ProductCode, &AuAgent::SetProductCode>(m, "ProductCode", AuType::String);
    Accessors<&AuAgent::MajorVer, &AuAgent::SetMajorVer>(m, "MajorVer", AuType::Long);
    Accessors<&AuAgent::MinorVer, &AuAgent::SetMinorVer>(m, "MinorVer", AuType::Long);
    Accessors<&AuAgent::Revision, &AuAgent::SetRevision>(m, "Revision", AuType::Long);
    Accessors<&AuAgent::CampaignID, &AuAgent::SetCampaignID>(m, "CampaignID", AuType::String);
    Accessors<&AuAgent::LicKey, &AuAgent::SetLicKey>(m, "LicKey", AuType::String);
    Accessors<&AuAgent::ProductLCID, &AuAgent::SetProductLCID>(m, "ProductLCID", AuType::Long);
    Accessors<&AuAgent::TestMode, &AuAgent::SetTestMode>(m, "TestMode", AuType::Boolean);
    Accessors<&AuAgent::UILanguageLCID, &AuAgent::SetUILanguageLCID>(m, "UILanguageLCID",
                                                                     AuType::Long);
    Property(
        m, "IsConnected", AuType::Boolean,
        [](void* self, std::vector<Variant>&) -> Outcome<AutomationValue> {
            const Outcome<bool> r = Self(self).IsConnected();
            if (!r.ok())
                return r.error();
            return Scalar(Variant(r.value()));
        },
        nullptr);
    Accessors<&AuAgent::AutoConnect, &AuAgent::SetAutoConnect>(m, "AutoConnect", AuType::Boolean);
    m.push_back({"CheckMessages",
                 MemberKind::Method,
                 AuType::Boolean,
                 {OptionalBoolean("bSilent", std::nullopt), OptionalBoolean("bAsync", true),
                  OptionalBoolean("bAuto", true)},
                 nullptr,
                 [](void* self, std::vector<Variant>& a) -> Outcome<AutomationValue> {
                     const Outcome<bool> r = Self(self).CheckMessages(
                         OptionalBool(a[0]), OptionalBool(a[1]), OptionalBool(a[2]));
                     if (!r.ok())
                         return r.error();
                     return Scalar(Variant(r.value()));
                 }});
    m.push_back({"DisplayMessages",
                 MemberKind::Method,
                 AuType::Void,
                 {},
                 nullptr,
                 [](void* self, std::vector<Variant>&) -> Outcome<AutomationValue> {
                     const Outcome<> r = Self(self).DisplayMessages();
                     if (!r.ok())
                         return r.error();
                     return AutomationValue{};
                 }});
    m.push_back({"CheckInstallableUpdates",
                 MemberKind::Method,
                 AuType::Boolean,
                 {OptionalBoolean("bSilent", std::nullopt)},
                 nullptr,
                 [](void* self, std::vector<Variant>& a) {
                     return Scalar(Variant(Self(self).CheckInstallableUpdates(OptionalBool(a[0]))));
                 }});
    m.push_back(
        {"GetProductInfo",
         MemberKind::Method,
         AuType::Object,
         {},
         &AuProductInfoClass(),
         [](void* self, std::vector<Variant>&) { return Record(Self(self).GetProductInfo()); }});
    Accessors<&AuAgent::hwndOwner, &AuAgent::SethwndOwner>(m, "hwndOwner", AuType::Long);
    Accessors<&AuAgent::CompatMode, &AuAgent::SetCompatMode>(m, "CompatMode", AuType::Long);
    m.push_back({"GetLastInstallableUpdate",
                 MemberKind::Method,
                 AuType::Object,
                 {},
                 &AuProductInfoClass(),
                 [](void* self, std::vector<Variant>&) {
                     return Record(Self(self).GetLastInstallableUpdate());
                 }});

    c.eventInterfaceName = "__AuAgent";
    c.eventInterfaceId = "{8A855A23-467E-4A42-829F-5F3CDE1160E9}";
    c.events = {
        {"NewMessages",
         {{"lMessageCount", AuType::Long, false, false, std::nullopt},
          {"sMessageStamp", AuType::String, false, false, std::nullopt},
          {"sResponseXML", AuType::String, false, false, std::nullopt},
          {"bSkipDialog", AuType::Boolean, false, true, std::nullopt}}},
        {"ProcessCompleted", {}},
    };
    return c;
}

} // namespace

const ClassDescription& AuAgentClass() {
    static const ClassDescription description = Describe();
    return description;
}

} // namespace KDAutoUpdate
