#include "PluginModule.h"

#include <dlfcn.h>

PluginModule::PluginModule(const std::string& path) {
    handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* message = dlerror();
        lastError = message ? message : "dlopen failed";
    }
}

PluginModule::~PluginModule() {
    if (handle)
        dlclose(handle);
}

void* PluginModule::symbol(const char* name) {
    if (!handle)
        return nullptr;
    dlerror();
    void* address = dlsym(handle, name);
    if (const char* message = dlerror()) {
        lastError = message;
        return nullptr;
    }
    return address;
}

PluginEntryFn PluginModule::entry(const char* name) {
    return reinterpret_cast<PluginEntryFn>(symbol(name));
}
