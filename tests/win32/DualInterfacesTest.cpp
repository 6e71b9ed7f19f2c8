// The vtables early-bound hosts call are the ones the automation description writes.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "com/ComDualWriter.h"

namespace KDAutoUpdate {
namespace {

TEST(DualInterfaces, CommittedSourceIsTheOneTheDescriptionWrites) {
    std::stringstream committed;
    committed
        << std::ifstream(KDAU_SOURCE_DIR "/com/ComDualInterfaces.cpp", std::ios::binary).rdbuf();
    const std::string written = WriteDualInterfaces();
    // A changed description: the new source is left here to be copied over the committed one.
    std::ofstream(KDAU_BINARY_DIR "/ComDualInterfaces.cpp", std::ios::binary) << written;
    EXPECT_EQ(committed.str(), written);
}

} // namespace
} // namespace KDAutoUpdate
