#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/Process.h"

namespace talvor::platform {

namespace {
std::string octal(unsigned mode)
{
    char buf[8];
    buf[0] = '0';
    for (int i = 0; i < 3; ++i)
        buf[1 + i] = char('0' + ((mode >> (6 - 3 * i)) & 7));
    buf[4] = 0;
    return buf;
}
}  // namespace

std::string runtimeDir(std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return std::string();
    };
    const char* xdg = std::getenv("XDG_RUNTIME_DIR");
    const std::string dir = xdg && xdg[0] == '/' ? std::string(xdg) + "/talvor"
                                                 : "/tmp/talvor-" + std::to_string(::getuid());
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return fail("Cannot create the folder " + dir + ": " + std::strerror(errno));
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0)
        return fail("Cannot use the folder " + dir + ": " + std::strerror(errno));
    if (!S_ISDIR(st.st_mode))
        return fail("Cannot use " + dir + ": it is not a folder");
    if (st.st_uid != ::getuid())
        return fail("Cannot use the folder " + dir + ": it belongs to another user");
    if (st.st_mode & 077)
        return fail("Cannot use the folder " + dir + ": it is open to other users (mode " +
                    octal(st.st_mode & 0777) + "; it must be 0700)");
    return dir;
}

}  // namespace talvor::platform
