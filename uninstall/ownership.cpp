#include "uninstall/ownership.h"

#include <pwd.h>

#include <vector>

namespace sonocap::uninstall {

namespace {

constexpr mode_t kOthersMayWrite = S_IWGRP | S_IWOTH;

}  // namespace

std::string UserName(uid_t uid) {
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(4096);
    const std::string number = "uid " + std::to_string(uid);
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return number;
    }
    return std::string(found->pw_name) + " (" + number + ")";
}

std::string WhyNotOwn(const struct stat& info, const std::string& name, uid_t user) {
    if (S_ISLNK(info.st_mode)) return name + " is a symbolic link";
    if (info.st_uid != user) return name + " belongs to " + UserName(info.st_uid);
    if ((info.st_mode & kOthersMayWrite) != 0) {
        return name + " may be changed by other users (group or others may write it)";
    }
    return std::string();
}

std::string WhyNotTrusted(const std::string& path, uid_t user) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return path + " cannot be examined";
    if (std::string why = WhyNotOwn(info, path, user); !why.empty()) return why;
    for (std::size_t end = path.rfind('/'); end != std::string::npos && end > 0;
         end = path.rfind('/', end - 1)) {
        const std::string folder = path.substr(0, end);
        if (::stat(folder.c_str(), &info) != 0) return folder + " cannot be examined";
        const bool othersMayWrite =
            (info.st_mode & kOthersMayWrite) != 0 && (info.st_mode & S_ISVTX) == 0;
        if ((info.st_uid != user && info.st_uid != 0) || othersMayWrite) {
            return folder + ", above " + path + ", may be changed by " +
                   (othersMayWrite ? std::string("other users") : UserName(info.st_uid));
        }
    }
    return std::string();
}

}  // namespace sonocap::uninstall
