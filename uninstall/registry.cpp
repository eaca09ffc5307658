#include "uninstall/registry.h"

namespace sonocap::uninstall {

std::string FoldRegistryName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

void RegistryKey::SetValue(std::string_view name, const std::string& text) {
    values_.insert_or_assign(FoldRegistryName(name),
                             RegistryValue(std::in_place_type<std::string>, text));
}

void RegistryKey::SetValue(std::string_view name, std::uint32_t number) {
    values_.insert_or_assign(FoldRegistryName(name), RegistryValue(number));
}

std::optional<std::string> RegistryKey::QueryString(std::string_view name) const {
    auto it = values_.find(FoldRegistryName(name));
    if (it == values_.end()) return std::nullopt;
    if (const auto* text = std::get_if<std::string>(&it->second)) return *text;
    return std::nullopt;
}

std::optional<std::uint32_t> RegistryKey::QueryDword(std::string_view name) const {
    auto it = values_.find(FoldRegistryName(name));
    if (it == values_.end()) return std::nullopt;
    if (const auto* number = std::get_if<std::uint32_t>(&it->second)) return *number;
    return std::nullopt;
}

}  // namespace sonocap::uninstall
