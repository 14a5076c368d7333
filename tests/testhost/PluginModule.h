// A plug-in module loaded the way hosts load one: dlopen with RTLD_NOW | RTLD_LOCAL.
#pragma once

#include <string>

#include "host/VstInterface.h"

typedef AEffect* (*PluginEntryFn)(audioMasterCallback audioMaster);

class PluginModule {
public:
    explicit PluginModule(const std::string& path);
    ~PluginModule();
    PluginModule(const PluginModule&) = delete;
    PluginModule& operator=(const PluginModule&) = delete;

    bool isLoaded() const { return handle != nullptr; }
    const std::string& error() const { return lastError; }

    // An exported symbol of the module itself, or null.
    void* symbol(const char* name);
    PluginEntryFn entry(const char* name = "VSTPluginMain");

private:
    void* handle = nullptr;
    std::string lastError;
};
