#include "config/starter_set.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fw {
namespace {

// Installed, the set lies under the data folder beside the program's folder; a program run from
// its build tree finds the source tree's copy.
TEST(StarterSetPlace, InstalledBesideTheProgramElseTheSourceTree) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / "fw-starter-place";
    fs::remove_all(root);
    fs::create_directories(root / "bin");
    fs::create_directories(root / "share/fretwright/starter");
    std::ofstream(root / "share/fretwright/starter/starter.cset") << "\r\n";
    EXPECT_EQ(findStarterSet((root / "bin").string()),
              (root / "share/fretwright/starter/starter.cset").string());
    fs::remove_all(root / "share");
    EXPECT_EQ(findStarterSet((root / "bin").string()),
              (fs::path(FW_SOURCE_DIR) / "data/starter/starter.cset").lexically_normal().string());
    fs::remove_all(root);

    std::string error;
    const auto whole = readWholeSet(FW_SOURCE_DIR "/data/starter/starter.cset", error);
    ASSERT_TRUE(whole) << error;
    EXPECT_TRUE(whole->names.joystick.empty());
    EXPECT_TRUE(whole->beat);
}

} // namespace
} // namespace fw
