#include "config/configuration_set.h"

#include <gtest/gtest.h>

namespace fw {
namespace {

TEST(ConfigurationSetFile, ThreeNamesOnThreeCrLfLines) {
    std::string error;
    EXPECT_EQ(configurationSetText({}, error), std::string("\r\n\r\n\r\n"));
    EXPECT_EQ(configurationSetText({"/a/b.chords", "c d.picks", "\xe9.joy"}, error),
              std::string("/a/b.chords\r\nc d.picks\r\n\xe9.joy\r\n"));
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

} // namespace
} // namespace fw
