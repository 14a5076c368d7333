// The portable toolkit must build without the window system's or the 2-D library's headers:
// no file under source/gui may include them, directly or through the headers it includes.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {
const std::string kSource = STAMMERIX_SOURCE_DIR;

std::vector<std::string> includesOf(const std::string& path) {
    std::vector<std::string> result;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const auto start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line.compare(start, 8, "#include") != 0)
            continue;
        const auto open = line.find_first_of("\"<", start + 8);
        const auto close = line.find_first_of("\">", open + 1);
        if (open != std::string::npos && close != std::string::npos)
            result.push_back(line.substr(open, close - open + 1));
    }
    return result;
}

bool forbidden(const std::string& include) {
    return include.find("X11/") != std::string::npos ||
           include.find("cairo") != std::string::npos || include.find("Xlib") != std::string::npos;
}

// The first forbidden include reached from file, as "chain: include", or empty.
std::string check(const std::string& file, std::set<std::string>& seen) {
    if (!seen.insert(file).second)
        return {};
    for (const std::string& include : includesOf(kSource + "/" + file)) {
        if (forbidden(include))
            return file + ": " + include;
        if (include[0] == '"') {
            const std::string inner = include.substr(1, include.size() - 2);
            std::ifstream probe(kSource + "/" + inner);
            if (probe) {
                const std::string found = check(inner, seen);
                if (!found.empty())
                    return file + " -> " + found;
            }
        }
    }
    return {};
}
} // namespace

TEST(Portability, ToolkitFilesReachNoWindowSystemOrCairoHeader) {
    DIR* dir = opendir((kSource + "/gui").c_str());
    ASSERT_NE(dir, nullptr);
    std::vector<std::string> files;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() > 2 && (name.substr(name.size() - 2) == ".h" ||
                                (name.size() > 4 && name.substr(name.size() - 4) == ".cpp")))
            files.push_back("gui/" + name);
    }
    closedir(dir);
    ASSERT_GT(files.size(), 10u);
    for (const std::string& file : files) {
        std::set<std::string> seen;
        EXPECT_EQ(check(file, seen), "") << file;
    }
    // The check itself finds such includes.
    std::set<std::string> seen;
    EXPECT_NE(check("platform/X11Window.cpp", seen), "");
}
