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
        if (const char* message = handle ? nullptr : dlerror())
            lastError = message;
    }
    ~PluginModule() {
        if (handle)
            dlclose(handle);
    }
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    bool isLoaded() const { return handle != nullptr; }
    const std::string& error() const { return lastError; }

    // An exported symbol of the module itself, or null.
    void* symbol(const char* name) {
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
    PluginEntryFn entry(const char* name = "VSTPluginMain") {
        return reinterpret_cast<PluginEntryFn>(symbol(name));
    }

private:
    void* handle = nullptr;
    std::string lastError;
};
