// Where the bitmap files are: the folder "resources" beside the module file, then the
// module's own folder.
#pragma once

#include <string>
#include <vector>

class ResourceFolder {
public:
    // Absolute folder of the module (or program) that contains this code; empty if unknown.
    static std::string moduleFolder();
    // The folders searched for resources, in order.
    static std::vector<std::string> searchFolders();
    // Replaces the search folders (tests and tools); an empty list restores the default.
    static void setSearchFolders(const std::vector<std::string>& folders);
    static bool fileExists(const std::string& path);
};
