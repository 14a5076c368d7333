// A file that appears under its name only when it is complete: it is written to a temporary
// file beside that name and renamed over it at the end. Until then, and on any failure, the
// name is left as it was and the temporary file goes again, also when a signal ends the program.
// A name that is a symbolic link stays one: the file it points to is replaced.
#pragma once

#include <string>

class PendingFile {
public:
    // Throws std::runtime_error with a one-line reason when nothing can be written there.
    explicit PendingFile(const std::string& path);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::string& path() const { return finalPath; }
    const std::string& temporaryPath() const { return partPath; }
    // Puts the written file under its name; throws on failure.
    void commit();

private:
    void forget(); // no more for a signal to remove

    std::string finalPath;
    std::string targetPath;
    std::string partPath;
    bool committed = false;
};
