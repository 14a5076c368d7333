// The portable toolkit builds without the window system's or the 2-D library's headers: no file
// under source/gui may include them, directly or through the headers it includes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace {
// The first forbidden include that file reaches, as "file -> ...: include"; empty for none.
std::string reach(const std::string& file, std::set<std::string>& seen) {
    std::ifstream in(STAMMERIX_SOURCE_DIR "/" + file);
    if (!seen.insert(file).second)
        return "";
    for (std::string line; std::getline(in, line);) {
        const std::size_t at = line.find("#include"), open = line.find_first_of("<\"", at);
        if (at == std::string::npos || open == std::string::npos)
            continue;
        const std::string name =
            line.substr(open + 1, line.find_first_of(">\"", open + 1) - open - 1);
        if (name.find("X11/") != std::string::npos || name.find("cairo") != std::string::npos)
            return file + ": " + name;
        const std::string found = reach(name, seen);
        if (!found.empty())
            return file + " -> " + found;
    }
    return "";
}
} // namespace

TEST(Portability, ToolkitFilesReachNoWindowSystemOrCairoHeader) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(STAMMERIX_SOURCE_DIR "/gui")) {
        std::set<std::string> seen;
        EXPECT_EQ(reach("gui/" + entry.path().filename().string(), seen), "");
        ++files;
    }
    std::set<std::string> seen;
    EXPECT_TRUE(files > 10 && !reach("platform/X11Window.cpp", seen).empty()); // it finds them
}
