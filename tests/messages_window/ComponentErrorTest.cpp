// A component that fails while the window loads (the browser control, the resource library)
// is the error of DisplayMessages.

#include "tests/messages_window/MessagesWindowFixture.h"

namespace KDAutoUpdate {
namespace {

class ComponentError : public MessagesWindowTest {};

TEST_F(ComponentError, AMissingBrowserOrAClosedResourceLibraryReachesTheHost) {
    ScriptedRenderer withoutBrowser{tp.loop()};
    const std::vector<std::pair<std::string, std::function<void()>>> failures = {
        {"browser control", [&] { tp.platform().forms = &withoutBrowser; }},
        {"resource library",
         [&] {
             tp.platform().forms = &renderer;
             tp.resources().CloseResourceLibrary();
         }},
    };
    for (const auto& [component, fail] : failures) {
        fail();
        const Outcome<> outcome = agent->DisplayMessages();
        ASSERT_FALSE(outcome.ok()) << component;
        EXPECT_EQ(outcome.error().number, kObjectErrorBase + 6) << component;
        EXPECT_EQ(outcome.error().source, "AuAgent.DisplayMessages") << component;
        EXPECT_FALSE(WindowLoaded()) << component; // no blank window keeps the agent busy
    }
}

} // namespace
} // namespace KDAutoUpdate
