#include "PendingFile.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The temporary files in the making, for a signal that ends the program to remove them.
std::array<const char* volatile, 4> unfinished{};

void removeUnfinished(int signal) {
    for (const char* path : unfinished)
        if (path)
            unlink(path);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

} // namespace

PendingFile::PendingFile(const std::string& path) : finalPath(path), targetPath(path) {
    // A symbolic link stays one: the file is written to where it points.
    std::error_code error;
    if (std::filesystem::is_symlink(path, error))
        targetPath = std::filesystem::weakly_canonical(path, error).string();
    struct stat existing {};
    const bool replaces = stat(targetPath.c_str(), &existing) == 0;
    if (replaces && S_ISDIR(existing.st_mode))
        throw std::runtime_error("cannot write " + path + ": it is a folder");
    if (replaces && access(targetPath.c_str(), W_OK) != 0)
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    // Beside the final name, so that the rename stays within one file system.
    const std::size_t slash = targetPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : targetPath.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? targetPath : targetPath.substr(slash + 1);
    std::string pattern = folder + "." + name + ".part-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0)
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    // A replaced file keeps its permissions; a new one gets those any new file of the user
    // would get.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, replaces ? existing.st_mode & 07777 : 0666 & ~mask);
    close(fd);
    partPath = buffer.data();
    for (const char* volatile& slot : unfinished)
        if (!slot) {
            slot = partPath.c_str();
            break;
        }
    for (int signal : {SIGINT, SIGTERM, SIGHUP})
        if (std::signal(signal, removeUnfinished) == SIG_IGN)
            std::signal(signal, SIG_IGN); // started to ignore it: goes on doing so
}

PendingFile::~PendingFile() {
    forget();
    if (!committed)
        std::remove(partPath.c_str());
}

void PendingFile::forget() {
    for (const char* volatile& slot : unfinished)
        if (slot == partPath.c_str())
            slot = nullptr;
}

void PendingFile::commit() {
    forget();
    if (std::rename(partPath.c_str(), targetPath.c_str()) != 0)
        throw std::runtime_error("cannot write " + finalPath + ": " + std::strerror(errno));
    committed = true;
}
