#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

// The helper's view of the registry: keys holding typed values, looked up by name. Key and
// value names are compared without regard to ASCII case, as the registry does.

namespace sonocap::uninstall {

// A string value or a 32-bit number.
using RegistryValue = std::variant<std::string, std::uint32_t>;

// The name of a key's default (unnamed) value.
inline constexpr std::string_view kDefaultValueName = "";

std::string FoldRegistryName(std::string_view name);

class RegistryKey {
  public:
    void SetValue(std::string_view name, const std::string& text);
    void SetValue(std::string_view name, std::uint32_t number);
    // Each query answers only when the value exists and has the asked type.
    std::optional<std::string> QueryString(std::string_view name) const;
    std::optional<std::uint32_t> QueryDword(std::string_view name) const;
    std::size_t ValueCount() const { return values_.size(); }

  private:
    std::map<std::string, RegistryValue> values_;  // by folded name
};

class Registry {
  public:
    virtual ~Registry() = default;
    // The key's values, or nothing when the key cannot be opened.
    virtual std::optional<RegistryKey> OpenKey(std::string_view keyName) const = 0;
};

}  // namespace sonocap::uninstall
