// A resource library that fails while the window loads is the error of DisplayMessages.

#include "tests/messages_window/MessagesWindowFixture.h"

namespace KDAutoUpdate {
namespace {

class ComponentError : public MessagesWindowTest {};

TEST_F(ComponentError, AClosedResourceLibraryReachesTheHost) {
    tp.resources().CloseResourceLibrary();
    const Outcome<> outcome = agent->DisplayMessages();
    ASSERT_FALSE(outcome.ok());
    EXPECT_EQ(outcome.error().number, kObjectErrorBase + 6);
    EXPECT_EQ(outcome.error().source, "AuAgent.DisplayMessages");
    EXPECT_FALSE(WindowLoaded()); // no blank window keeps the agent busy
}

} // namespace
} // namespace KDAutoUpdate
