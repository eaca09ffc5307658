#pragma once

#include <string_view>

// The one message the helper ever shows: the installation it belongs to is gone or unusable.
// The apostrophe is the acute accent U+00B4, in UTF-8.

namespace sonocap::uninstall {

inline constexpr std::string_view kInformationTitle = " Information:";
inline constexpr std::string_view kInformationText =
    "     This is an uninstallation program for Corvanta\u00B4s Audiograph.\n"
    "      As the Audiograph application has already been uninstalled, \n"
    "                         you may savely delete this program.";

}  // namespace sonocap::uninstall
