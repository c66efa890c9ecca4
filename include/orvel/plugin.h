#pragma once

// The contract between orvel and its plugins. A plugin is a shared library in the program
// folder's "Plugins" that exports the seven functions below by these names, with C linkage.
// orvel calls them on its user-interface thread, in this order: InitPlugin, SetLanguage,
// SetCoreObject, GetPluginName, GetPluginVersion once each at start-up; ShowPluginDialog each
// time the user picks the plugin's menu command; DeInitPlugin once at exit, before the library
// is unloaded. Return values are ignored.

#include <orvel/icore.h>
#include <orvel/iprocess.h>

// The loaded language pack, as plugins see it.
struct OrvelLanguageModule
{
    // Copies the text of string id into buffer, zero-terminated and cut to size - 1
    // characters; answers its length, 0 when the pack has no such string.
    int (*getString)(const OrvelLanguageModule* module, int id, char16_t* buffer, int size);
};

// The program's language object. Its first member is the pack handle (null when no pack is
// loaded); the rest of the object is private to the program.
struct OrvelLanguage
{
    const OrvelLanguageModule* module;
};

// Size, in characters, of the buffer GetPluginName and GetPluginVersion write into.
inline constexpr int kPluginTextBufferSize = 1024;

// Plugin command ids: the plugin at position i of the loaded plugins has kPluginCommandBase + i.
inline constexpr int kPluginCommandBase = 100000;

// The seven exports, by name and signature.
using InitPluginFunction = void (*)();
using DeInitPluginFunction = void (*)();
using SetLanguageFunction = void (*)(OrvelLanguage* language);
using SetCoreObjectFunction = void (*)(ICore* core);
using GetPluginNameFunction = void (*)(char16_t* buffer);
using GetPluginVersionFunction = void (*)(char16_t* buffer);
using ShowPluginDialogFunction = void (*)(void* parent);

// Declared here so that a plugin defining an export with another signature fails to compile.
#define ORVEL_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))
ORVEL_PLUGIN_EXPORT void InitPlugin();
ORVEL_PLUGIN_EXPORT void DeInitPlugin();
// language stays valid until DeInitPlugin has returned.
ORVEL_PLUGIN_EXPORT void SetLanguage(OrvelLanguage* language);
// The core belongs to this plugin alone and lives until DeInitPlugin has returned.
ORVEL_PLUGIN_EXPORT void SetCoreObject(ICore* core);
// Each writes a zero-terminated text of at most 1023 characters into a buffer of 1024.
ORVEL_PLUGIN_EXPORT void GetPluginName(char16_t* buffer);
ORVEL_PLUGIN_EXPORT void GetPluginVersion(char16_t* buffer);
// parent is the main window, a QWidget* passed as void*; returns when the plugin is done.
ORVEL_PLUGIN_EXPORT void ShowPluginDialog(void* parent);
