#include "PendingFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

PendingFile::PendingFile(const std::string& path) : finalPath(path) {
    // Beside the final name, so that the rename stays within one file system.
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string pattern = folder + "." + name + ".part-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0)
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    // The finished file gets the permissions any new file of the user would get.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    partPath = buffer.data();
}

PendingFile::~PendingFile() {
    if (!committed)
        std::remove(partPath.c_str());
}

void PendingFile::commit() {
    if (std::rename(partPath.c_str(), finalPath.c_str()) != 0)
        throw std::runtime_error("cannot write " + finalPath + ": " + std::strerror(errno));
    committed = true;
}
