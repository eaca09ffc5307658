#include "uninstall/registry_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace sonocap::uninstall {

namespace {

std::string_view Trim(std::string_view line) {
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const auto last = line.find_last_not_of(" \t\r");
    return line.substr(first, last - first + 1);
}

// Reads a quoted string at the front of `text`, consuming it. Nothing when it is not closed or
// holds an unknown escape.
std::optional<std::string> TakeQuoted(std::string_view& text) {
    if (text.empty() || text.front() != '"') return std::nullopt;
    std::string result;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            text.remove_prefix(i + 1);
            return result;
        }
        if (c == '\\') {
            if (i + 1 >= text.size()) return std::nullopt;
            const char next = text[++i];
            if (next != '\\' && next != '"') return std::nullopt;
            result.push_back(next);
        } else {
            result.push_back(c);
        }
    }
    return std::nullopt;
}

std::optional<std::uint32_t> ParseDword(std::string_view digits) {
    if (digits.empty() || digits.size() > 8) return std::nullopt;
    std::uint32_t value = 0;
    for (char c : digits) {
        std::uint32_t digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<std::uint32_t>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<std::uint32_t>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<std::uint32_t>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        value = value * 16 + digit;
    }
    return value;
}

// Sets the value a line describes; a line that does not parse changes nothing.
void ParseValueLine(std::string_view line, RegistryKey& key) {
    std::string name;
    if (line.starts_with('@')) {
        line.remove_prefix(1);
    } else {
        auto quoted = TakeQuoted(line);
        if (!quoted) return;
        name = std::move(*quoted);
    }
    line = Trim(line);
    if (!line.starts_with('=')) return;
    line = Trim(line.substr(1));
    constexpr std::string_view kDwordPrefix = "dword:";
    if (line.starts_with('"')) {
        auto text = TakeQuoted(line);
        if (text && line.empty()) key.SetValue(name, *text);
    } else if (FoldRegistryName(line.substr(0, kDwordPrefix.size())) == kDwordPrefix) {
        if (auto number = ParseDword(line.substr(kDwordPrefix.size()))) key.SetValue(name, *number);
    }
}

}  // namespace

std::optional<std::string> ReadRegistryStoreText(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) return errno == ENOENT ? std::optional<std::string>("") : std::nullopt;
    std::optional<std::string> text;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        text.emplace();
        char chunk[4096];
        for (;;) {
            const ssize_t got = ::read(fd, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0 || text->size() + static_cast<std::size_t>(got) > kMaxRegistryStoreBytes) {
                text.reset();
                break;
            }
            if (got == 0) break;
            text->append(chunk, static_cast<std::size_t>(got));
        }
    }
    ::close(fd);
    return text;
}

RegistryStore ParseRegistryStore(std::string_view text) {
    RegistryStore store;
    RegistryKey* current = nullptr;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = Trim(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

        if (line.empty() || line.front() == ';' || line.front() == '#') continue;
        if (line.find('\0') != std::string_view::npos) continue;
        if (line.front() == '[') {
            current = nullptr;
            if (line.size() > 2 && line.back() == ']') {
                current = &store[FoldRegistryName(line.substr(1, line.size() - 2))];
            }
            continue;
        }
        if (current != nullptr) ParseValueLine(line, *current);
    }
    return store;
}

std::optional<std::string> RegistryStorePath(uid_t user) {
    const char* explicitPath = std::getenv(kRegistryStoreVariable);
    if (explicitPath != nullptr && explicitPath[0] != '\0') return std::string(explicitPath);
    if (user == 0) return std::string(kMachineRegistryStore);
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome != nullptr && configHome[0] == '/') {
        return std::string(configHome) + "/sonocap/registry";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::string(home) + "/.config/sonocap/registry";
    return std::nullopt;
}

std::optional<std::string> MachineRegistryStorePath() {
    const char* explicitPath = std::getenv(kRegistryStoreVariable);
    if (explicitPath != nullptr && explicitPath[0] != '\0') return std::nullopt;
    return std::string(kMachineRegistryStore);
}

std::optional<RegistryKey> LayeredRegistry::OpenKey(std::string_view keyName) const {
    if (auto key = user_.OpenKey(keyName)) return key;
    return machine_.OpenKey(keyName);
}

std::optional<RegistryKey> FileRegistry::OpenKey(std::string_view keyName) const {
    if (!path_) return std::nullopt;
    auto text = ReadRegistryStoreText(*path_);
    if (!text) return std::nullopt;
    RegistryStore store = ParseRegistryStore(*text);
    auto it = store.find(FoldRegistryName(keyName));
    if (it == store.end()) return std::nullopt;
    return it->second;
}

}  // namespace sonocap::uninstall
