#include "uninstall/information_message.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "uninstall/stderr_message_box.h"

namespace sonocap::uninstall {
namespace {

TEST(InformationMessage, TitleStartsWithOneBlank) {
    EXPECT_EQ(kInformationTitle, " Information:");
}

TEST(InformationMessage, TextIsLaidOutWithItsBlanksAndBreaks) {
    const std::string expected =
        std::string(5, ' ') + "This is an uninstallation program for Corvanta" + "\xC2\xB4" +
        "s Audiograph." + "\n" + std::string(6, ' ') +
        "As the Audiograph application has already been uninstalled," + " " + "\n" +
        std::string(25, ' ') + "you may savely delete this program.";
    EXPECT_EQ(kInformationText, expected);
}

TEST(InformationMessage, AccentIsUtf8AcuteAccent) {
    const auto at = kInformationText.find("Corvanta");
    ASSERT_NE(at, std::string_view::npos);
    EXPECT_EQ(static_cast<unsigned char>(kInformationText[at + 8]), 0xC2);
    EXPECT_EQ(static_cast<unsigned char>(kInformationText[at + 9]), 0xB4);
    EXPECT_EQ(kInformationText[at + 10], 's');
}

TEST(StderrMessageBox, WritesTitleLineThenText) {
    std::FILE* stream = std::tmpfile();
    ASSERT_NE(stream, nullptr);
    StderrMessageBox box(stream);
    box.Show(" Title:", "  two\nlines");
    std::rewind(stream);
    char buffer[64] = {};
    const std::size_t got = std::fread(buffer, 1, sizeof buffer - 1, stream);
    std::fclose(stream);
    EXPECT_EQ(std::string(buffer, got), " Title:\n  two\nlines\n");
}

}  // namespace
}  // namespace sonocap::uninstall
