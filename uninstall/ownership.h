#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

// Whose a file or folder is, and whether the running user may act on it: an installation is
// removed, registered or started only by the user it belongs to, and only when nobody else can
// change it under their hands.

namespace sonocap::uninstall {

// "ann (uid 1000)", or "uid 1000" for a number without a name.
std::string UserName(uid_t uid);

// Empty when what `info` describes belongs to `user` and neither its group nor others may write
// it; otherwise why not, naming it as `name` and its owner.
std::string WhyNotOwn(const struct stat& info, const std::string& name, uid_t user);

// The same for the path itself (a symbolic link is not followed and is never trusted), and for
// every folder above it: none of them may be writable by anyone but `user` and root, unless only
// the owner of an entry may remove it there (the sticky bit of /tmp).
std::string WhyNotTrusted(const std::string& path, uid_t user);

}  // namespace sonocap::uninstall
