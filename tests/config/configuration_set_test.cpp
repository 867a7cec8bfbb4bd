#include "config/configuration_set.h"

#include "files/line_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace fw {
namespace {

TEST(ConfigurationSetFile, ThreeNamesOnThreeCrLfLines) {
    std::string error;
    EXPECT_EQ(configurationSetText({}, error), std::string("\r\n\r\n\r\n"));
    EXPECT_EQ(configurationSetText({"/a/b.chords", "c d.picks", "\xe9.joy"}, error),
              std::string("/a/b.chords\r\nc d.picks\r\n\xe9.joy\r\n"));
    EXPECT_EQ(configurationSetText({"", "", "", "x.beat"}, error),
              std::string("\r\n\r\n\r\nx.beat\r\n"));
    // A name that would spill onto the next line is refused, naming which one.
    EXPECT_FALSE(configurationSetText({"a", "b\nc", "d"}, error));
    EXPECT_EQ(error, "The pick set file name holds a line break or a NUL character, which a "
                     "configuration set cannot keep.");
}

TEST(ConfigurationSetFile, ParseReadsThreeNamesWhateverTheLength) {
    const struct {
        std::string text;
        ConfigurationSet names;
    } cases[] = {
        {"a.chords\r\nb.picks\r\nc.joy\r\n", {"a.chords", "b.picks", "c.joy"}},
        {"a.chords\nb.picks\nc.joy", {"a.chords", "b.picks", "c.joy"}}, // bare LF, no last end
        {"\r\n\r\n\r\n", {}},
        {"", {}},
        {"only.chords\r\n", {"only.chords", "", ""}}, // missing lines are empty names
        {"a\r\nb\r\nc\r\nextra\r\nmore\r\n", {"a", "b", "c"}},
        {"a\r\nb\r\nc\r\nd.beat\r\n", {"a", "b", "c", "d.beat"}},
        {" a \r\n\r\nc", {" a ", "", "c"}}, // names are kept as they are
    };
    for (const auto& c : cases) {
        const auto parsed = parseConfigurationSet(c.text, "x.cset");
        ASSERT_TRUE(parsed.set) << c.text;
        EXPECT_EQ(*parsed.set, c.names) << c.text;
    }
    const auto binary = parseConfigurationSet(std::string("a\r\nb\0c\r\n", 8), "x.cset");
    EXPECT_FALSE(binary.set);
    EXPECT_EQ(binary.error, "x.cset is not a text file.");
}

TEST(ConfigurationSetFile, RelativeNamesOpenAsStoredFirstThenBesideTheSet) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() / ("fw-cset-" + std::to_string(getpid()));
    fs::create_directories(root / "work");
    fs::create_directories(root / "sets");
    const auto touch = [](const fs::path& p) { EXPECT_FALSE(writeFileReplacing(p.string(), "")); };
    touch(root / "work" / "both.chords");
    touch(root / "sets" / "both.chords");
    touch(root / "sets" / "beside.picks");
    touch(root / "sets" / "beside.beat");
    const fs::path before = fs::current_path();
    fs::current_path(root / "work");
    const std::string setPath = (root / "sets" / "x.cset").string();
    const std::string absolute = (root / "elsewhere.joy").string();
    const ConfigurationSet opened =
        namesFrom({"both.chords", "beside.picks", absolute, "beside.beat"}, setPath);
    const ConfigurationSet missing = namesFrom({"gone.chords", "", "", ""}, setPath);
    fs::current_path(before);
    fs::remove_all(root);

    // In the working folder as stored; otherwise beside the set; an absolute name untouched.
    EXPECT_EQ(opened, (ConfigurationSet{"both.chords", (root / "sets" / "beside.picks").string(),
                                        absolute, (root / "sets" / "beside.beat").string()}));
    // Found nowhere: the name as stored, which the loader's message then quotes.
    EXPECT_EQ(missing, (ConfigurationSet{"gone.chords", "", "", ""}));
}

} // namespace
} // namespace fw
