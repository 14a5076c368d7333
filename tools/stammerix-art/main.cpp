// stammerix-art: draws the editor's pictures (bmp00129.png .. bmp00132.png) into a folder.
//
//   stammerix-art OUTPUT-FOLDER [--preview FILE]
//
// With --preview it also writes the assembled panel, with some buttons pressed and a test loop
// on the oscilloscope, for reviewing changes to the artwork.
#include "Artwork.h"

#include <cairo.h>
#include <cstdio>
#include <cstring>
#include <fontconfig/fontconfig.h>
#include <string>
#include <sys/stat.h>

namespace {

int usage() {
    std::fprintf(stderr, "usage: stammerix-art OUTPUT-FOLDER [--preview FILE]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string folder, preview;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--preview") == 0) {
            if (i + 1 >= argc)
                return usage();
            preview = argv[++i];
        } else if (argv[i][0] == '-' || !folder.empty()) {
            return usage();
        } else {
            folder = argv[i];
        }
    }
    if (folder.empty())
        return usage();

    struct stat st {};
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "stammerix-art: %s is not a folder\n", folder.c_str());
        return 1;
    }

    std::string error;
    bool ok = art::writeArtwork(folder, error);
    if (ok && !preview.empty())
        ok = art::writePreview(preview, error);
    if (!ok)
        std::fprintf(stderr, "stammerix-art: cannot write %s\n", error.c_str());

    // Leaves no font caches behind for leak checkers.
    cairo_debug_reset_static_data();
    FcFini();
    return ok ? 0 : 1;
}
