#include "uninstall/display_detection.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace sonocap::uninstall {
namespace {

struct DisplayCase {
    const char* name;
    std::map<std::string, std::string> environment;
    bool expected;
};

std::ostream& operator<<(std::ostream& out, const DisplayCase& c) {
    return out << c.name;
}

class HasDisplayTest : public testing::TestWithParam<DisplayCase> {};

TEST_P(HasDisplayTest, LooksAtTheDisplayVariables) {
    const auto& environment = GetParam().environment;
    const bool shown = HasDisplay([&](const char* name) -> const char* {
        auto it = environment.find(name);
        return it == environment.end() ? nullptr : it->second.c_str();
    });
    EXPECT_EQ(shown, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HasDisplayTest,
    testing::Values(DisplayCase{"Nothing", {}, false},
                    DisplayCase{"X11", {{"DISPLAY", ":0"}}, true},
                    DisplayCase{"Wayland", {{"WAYLAND_DISPLAY", "wayland-0"}}, true},
                    DisplayCase{"QtPlatform", {{"QT_QPA_PLATFORM", "offscreen"}}, true},
                    DisplayCase{"EmptyValues",
                                {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}},
                                false},
                    DisplayCase{"OtherVariables", {{"TERM", "xterm"}, {"HOME", "/h"}}, false}));

}  // namespace
}  // namespace sonocap::uninstall
