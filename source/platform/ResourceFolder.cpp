#include "platform/ResourceFolder.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::vector<std::string>& overrideFolders() {
    static std::vector<std::string> folders;
    return folders;
}

void anchor() {}
} // namespace

std::string ResourceFolder::moduleFolder() {
    Dl_info info{};
    std::string path;
    if (dladdr(reinterpret_cast<void*>(&anchor), &info) && info.dli_fname && *info.dli_fname)
        path = info.dli_fname;
    char resolved[PATH_MAX];
    if (path.empty() || !realpath(path.c_str(), resolved)) {
        // The main program may be reported by a name that is not a path.
        const ssize_t n = readlink("/proc/self/exe", resolved, sizeof resolved - 1);
        if (n <= 0 || !path.empty())
            return {};
        resolved[n] = 0;
    }
    std::string full(resolved);
    const std::size_t slash = full.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : full.substr(0, slash);
}

std::vector<std::string> ResourceFolder::searchFolders() {
    if (!overrideFolders().empty())
        return overrideFolders();
    const std::string folder = moduleFolder();
    if (folder.empty())
        return {};
    const std::string base = folder == "/" ? std::string() : folder;
    return {base + "/resources", folder};
}

void ResourceFolder::setSearchFolders(const std::vector<std::string>& folders) {
    overrideFolders() = folders;
}

bool ResourceFolder::fileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
