// A plug-in module loaded the way hosts load one: dlopen with RTLD_NOW | RTLD_LOCAL.
#pragma once

#include <dlfcn.h>

#include <string>

#include "host/VstInterface.h"

typedef AEffect* (*PluginEntryFn)(audioMasterCallback audioMaster);

class PluginModule {
public:
    explicit PluginModule(const std::string& path)
        : handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
        if (!handle)
            lastError = dlerror();
    }
    ~PluginModule() {
        if (handle)
            dlclose(handle);
    }
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    bool isLoaded() const { return handle != nullptr; }
    const std::string& error() const { return lastError; }

    // An exported symbol of the module itself, or null (and the reason in error()).
    void* symbol(const char* name) {
        void* address = handle ? (dlerror(), dlsym(handle, name)) : nullptr;
        if (const char* message = handle ? dlerror() : nullptr)
            lastError = message;
        return address;
    }
    PluginEntryFn entry(const char* name = "VSTPluginMain") {
        return reinterpret_cast<PluginEntryFn>(symbol(name));
    }

private:
    void* handle = nullptr;
    std::string lastError;
};
