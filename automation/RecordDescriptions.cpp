// The records a host reads: AuProductInfo, AuMessage with its features, AuFeature.

#include <charconv>

#include "MemberBindings.h"
#include "deploy/AuMessage.h"
#include "store/AuProductInfo.h"

namespace KDAutoUpdate {

namespace {

using namespace Bindings;

ClassDescription DescribeProductInfo() {
    ClassDescription c;
    c.name = "AuProductInfo";
    c.interfaceName = "_AuProductInfo";
    c.classId = "{C1D3290D-FC54-42F5-8769-A1FF420EDD2A}";
    c.interfaceId = "{78BC1A7F-0B49-4925-9474-977BD45CE7F3}";
    using R = AuProductInfo;
    auto& m = c.members;
    FieldProperty<&R::ProductCode>(m, "ProductCode", AuType::String);
    FieldProperty<&R::LastMessageStamp>(m, "LastMessageStamp", AuType::String);
    FieldProperty<&R::DoNotNotifyLastMessage>(m, "DoNotNotifyLastMessage", AuType::Boolean);
    FieldProperty<&R::LastCheckedDate>(m, "LastCheckedDate", AuType::Date);
    FieldProperty<&R::LastInitDate>(m, "LastInitDate", AuType::Date);
    FieldProperty<&R::LastUpdateMessageID>(m, "LastUpdateMessageID", AuType::String);
    FieldProperty<&R::InstallLastUpdateOnStartUp>(m, "InstallLastUpdateOnStartUp", AuType::Boolean);
    FieldProperty<&R::LastUpdateCmd>(m, "LastUpdateCmd", AuType::String);
    FieldProperty<&R::LastUpdateName>(m, "LastUpdateName", AuType::String);
    FieldProperty<&R::LastKillProcName>(m, "LastKillProcName", AuType::String);
    VoidMethod<&R::Persist>(m, "Persist");
    return c;
}

ClassDescription DescribeMessage() {
    ClassDescription c;
    c.name = "AuMessage";
    c.interfaceName = "_AuMessage";
    c.classId = "{D5DEEE79-BB20-4B05-A163-920CA9D9B0D2}";
    c.interfaceId = "{87692CBF-1A6F-4695-BE4B-8C698A477992}";
    using M = AuMessage;
    auto& m = c.members;
    Accessors<&M::ID, &M::SetID>(m, "ID", AuType::String);
    Accessors<&M::Name, &M::SetName>(m, "Name", AuType::String);
    Accessors<&M::FileName, &M::SetFileName>(m, "FileName", AuType::String);
    Accessors<&M::IsCompressed, &M::SetIsCompressed>(m, "IsCompressed", AuType::Boolean);
    Accessors<&M::Destination, &M::SetDestination>(m, "Destination", AuType::String);
    Accessors<&M::LocalPath, &M::SetLocalPath>(m, "LocalPath", AuType::String);
    Accessors<&M::DownloadPath, &M::SetDownloadPath>(m, "DownloadPath", AuType::String);
    Accessors<&M::MessageType, &M::SetMessageType>(m, "MessageType", AuType::Long);
    Accessors<&M::Version, &M::SetVersion>(m, "Version", AuType::String);
    Accessors<&M::ProductCode, &M::SetProductCode>(m, "ProductCode", AuType::String);
    Accessors<&M::KillProcName, &M::SetKillProcName>(m, "KillProcName", AuType::String);
    Accessors<&M::CmdLine, &M::SetCmdLine>(m, "CmdLine", AuType::String);
    Accessors<&M::MustBePaid, &M::SetMustBePaid>(m, "MustBePaid", AuType::Boolean);
    Property(
        m, "Features", AuType::Object,
        [](void* self, std::vector<Variant>&) -> Outcome<AutomationValue> {
            // The collection belongs to its message: handed out without ownership.
            AutomationValue v;
            v.object.type = &AuFeatureCollectionClass();
            v.object.instance =
                std::shared_ptr<void>(std::shared_ptr<void>(), &static_cast<M*>(self)->Features());
            return v;
        },
        nullptr);
    m.back().resultClass = &AuFeatureCollectionClass();
    VoidMethod<&M::DownloadFileIE>(m, "DownloadFileIE");
    VoidMethod<&M::Deploy>(m, "Deploy");
    return c;
}

ClassDescription DescribeFeature() {
    ClassDescription c;
    c.name = "AuFeature";
    c.interfaceName = "_AuFeature";
    c.classId = "{14E4726F-6F4B-40FB-9B7F-111E0D48EEE8}";
    c.interfaceId = "{5AA6F173-7149-48F3-A643-E4313909A93B}";
    using F = AuFeature;
    auto& m = c.members;
    Accessors<&F::Name, &F::SetName>(m, "Name", AuType::String);
    Accessors<&F::FeatureType, &F::SetFeatureType>(m, "FeatureType", AuType::Long);
    Accessors<&F::IsMandatory, &F::SetIsMandatory>(m, "IsMandatory", AuType::Boolean);
    Accessors<&F::AllowUserSelection, &F::SetAllowUserSelection>(m, "AllowUserSelection",
                                                                 AuType::Boolean);
    Accessors<&F::IsChecked, &F::SetIsChecked>(m, "IsChecked", AuType::Boolean);
    Property(m, "InstallState", AuType::Boolean, &CallGet<&F::InstallState>, nullptr);
    return c;
}

// A collection as automation knows it: Count, and Item by one-based position or by key.
ClassDescription DescribeFeatureCollection() {
    ClassDescription c;
    c.name = "Collection";
    c.interfaceName = "_Collection";
    using C = KeyedCollection<AuFeature>;
    c.members.push_back({"Count",
                         MemberKind::PropertyGet,
                         AuType::Long,
                         {},
                         nullptr,
                         [](void* self, std::vector<Variant>&) {
                             return Scalar(ToVariant(static_cast<C*>(self)->Count()));
                         }});
    c.members.push_back(
        {"Item",
         MemberKind::Method,
         AuType::Object,
         {{"Index", AuType::String, false, false, std::nullopt}},
         &AuFeatureClass(),
         [](void* self, std::vector<Variant>& a) -> Outcome<AutomationValue> {
             // The index arrives as text: a number is a position, anything else a key.
             const C& features = *static_cast<C*>(self);
             const std::string& index = a[0].Get<std::string>();
             AuFeature* item = features.Find(index);
             std::size_t position = 0;
             const auto [end, ec] =
                 std::from_chars(index.data(), index.data() + index.size(), position);
             if (!item && ec == std::errc() && end == index.data() + index.size() && position > 0)
                 item = features.Item(position - 1);
             if (!item)
                 return AutomationError{5, "Collection", "Invalid procedure call or argument"};
             AutomationValue v;
             v.object.type = &AuFeatureClass();
             v.object.instance = std::shared_ptr<void>(std::shared_ptr<void>(), item);
             return v;
         }});
    return c;
}

} // namespace

const ClassDescription& AuProductInfoClass() {
    static const ClassDescription description = DescribeProductInfo();
    return description;
}

const ClassDescription& AuMessageClass() {
    static const ClassDescription description = DescribeMessage();
    return description;
}

const ClassDescription& AuFeatureClass() {
    static const ClassDescription description = DescribeFeature();
    return description;
}

const ClassDescription& AuFeatureCollectionClass() {
    static const ClassDescription description = DescribeFeatureCollection();
    return description;
}

const std::vector<const ClassDescription*>& PublishedClasses() {
    static const std::vector<const ClassDescription*> classes = {
        &AuAgentClass(), &AuProductInfoClass(), &AuMessageClass(), &AuFeatureClass()};
    return classes;
}

} // namespace KDAutoUpdate
