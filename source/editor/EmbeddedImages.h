// The editor's images compiled into the module, so that an editor whose files are missing
// still shows its panel. Files found beside the module take precedence.
#pragma once

class EmbeddedImages {
public:
    // Offers every compiled-in image to the bitmap loader.
    static void registerAll();
    // Withdraws them again.
    static void unregisterAll();
    // How many images are compiled in.
    static int count();
};
