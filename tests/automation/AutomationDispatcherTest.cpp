// The dispatcher as a host front sees it: members by name, arguments coerced to their
// described types, and the automation runtime's errors for what does not fit.

#include <gtest/gtest.h>

#include "automation/AutomationDispatcher.h"
#include "store/AuProductInfo.h"

namespace KDAutoUpdate {
namespace {

struct Case {
    const char* member;
    MemberKind kind;
    std::vector<Variant> args;
    long error;       // 0: the call succeeds
    Variant readBack; // the property's value afterwards, when the call wrote one
};

TEST(AutomationDispatcher, CoercesArgumentsOrRaisesTheRuntimeErrors) {
    const MemberKind put = MemberKind::PropertyPut, method = MemberKind::Method;
    const Case cases[] = {
        {"lastcheckeddate", put, {Variant(45000.5)}, 0, Variant(AutomationDate{45000.5})},
        {"DoNotNotifyLastMessage", put, {Variant(std::int32_t{-1})}, 0, Variant(true)},
        {"LastUpdateCmd", put, {Variant(std::int16_t{7})}, 0, Variant("7")},
        {"LastCheckedDate", put, {Variant("tomorrow")}, kErrTypeMismatch, {}},
        {"InstallLastUpdateOnStartUp", put, {Variant("yes")}, kErrTypeMismatch, {}},
        {"LastUpdateCmd", put, {}, kErrWrongArgumentCount, {}},
        {"Persist", method, {Variant(true)}, kErrWrongArgumentCount, {}},
        {"Persist", put, {Variant(true)}, kErrMemberNotFound, {}},
        {"NoSuchField", MemberKind::PropertyGet, {}, kErrMemberNotFound, {}},
    };
    for (const Case& c : cases) {
        AuProductInfo record;
        const auto r = Invoke(AuProductInfoClass(), &record, c.member, c.kind, c.args);
        EXPECT_EQ(r.ok() ? 0 : r.error().number, c.error) << c.member;
        if (c.error != 0)
            continue;
        const auto read =
            Invoke(AuProductInfoClass(), &record, c.member, MemberKind::PropertyGet, {});
        ASSERT_TRUE(read.ok()) << c.member;
        EXPECT_EQ(read.value().scalar.ToText(), c.readBack.ToText()) << c.member;
    }
}

TEST(AutomationDispatcher, NamedArgumentsTakeTheirPlaceAndUnknownOnesAreNamed) {
    const MemberDescription& check =
        *FindMember(AuAgentClass(), "CheckMessages", MemberKind::Method);
    // Of names that differ only in case, the first in the host's (sorted) dictionary wins.
    const auto args = ArgumentsByName(check, {{"BAUTO", Variant(false)}, {"bauto", Variant(true)}});
    ASSERT_TRUE(args);
    EXPECT_TRUE((*args)[0].IsEmpty() && (*args)[1].IsEmpty());
    EXPECT_EQ((*args)[2].ToText(), "False");
    std::string unknown;
    EXPECT_FALSE(ArgumentsByName(check, {{"bQuiet", Variant(true)}}, &unknown));
    EXPECT_EQ(unknown, "bQuiet");
}

} // namespace
} // namespace KDAutoUpdate
