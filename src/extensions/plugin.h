#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <orvel/icore.h>
#include <orvel/plugin.h>
#include <vector>

class CLanguagePack;
class QLibrary;

// A plugin's own core. ICore cannot be deleted through itself, so the holder carries the
// concrete core's deleter.
using PluginCore = std::unique_ptr<ICore, void (*)(ICore*)>;
using PluginCoreFactory = std::function<PluginCore()>;

// A conversion core of the plugin's own, with the core's defaults.
PluginCore MakePluginCore();

// One loaded plugin: its library, the seven exports, what it says about itself, and the core
// created for it alone.
class CPlugin
{
public:
    explicit CPlugin(PluginCore core);
    // De-initialises the plugin if it was initialised, then releases its core and its library.
    ~CPlugin();
    CPlugin(const CPlugin&) = delete;
    CPlugin& operator=(const CPlugin&) = delete;

    GetPluginNameFunction getPluginName = nullptr;
    GetPluginVersionFunction getPluginVersion = nullptr;
    ShowPluginDialogFunction showPluginDialog = nullptr;
    InitPluginFunction initPlugin = nullptr;
    DeInitPluginFunction deInitPlugin = nullptr;
    SetLanguageFunction setLanguage = nullptr;
    SetCoreObjectFunction setCoreObject = nullptr;
    std::unique_ptr<QLibrary> library;
    QString name;
    QString version;
    QString fileName;
    quint32 fileSize = 0;
    PluginCore core;

private:
    friend bool LoadPlugin(CPlugin& record, const QString& path, CLanguagePack& language);
    void Release();

    bool initialised = false;
};

// Loads the library at path into record and initialises it. A library that will not load is
// reported with the loader's message; one that lacks an export is unloaded without a word.
bool LoadPlugin(CPlugin& record, const QString& path, CLanguagePack& language);

// The loaded plugins, in load order. Plugin i answers to the command kPluginCommandBase + i.
class CPluginList
{
public:
    CPluginList() = default;
    // Records are destroyed in list order.
    ~CPluginList();
    CPluginList(const CPluginList&) = delete;
    CPluginList& operator=(const CPluginList&) = delete;

    // Loads every "*.so" of the program folder's "Plugins", in listing order, each with a core
    // made by makeCore.
    void LoadAll(const QString& programFolder, CLanguagePack& language,
                 const PluginCoreFactory& makeCore = MakePluginCore);

    // Whether the folder held any plugin file, loaded or not: the Plugins menu is shown then.
    bool FoundAny() const { return foundAny; }
    int Count() const { return int(plugins.size()); }
    const CPlugin& At(int index) const { return *plugins[size_t(index)]; }
    static int CommandId(int index) { return kPluginCommandBase + index; }

    // Opens the dialog of the plugin the command belongs to; false (nothing called) for a
    // command that is no plugin's.
    bool ShowDialog(int commandId, void* mainWindow) const;

private:
    std::vector<std::unique_ptr<CPlugin>> plugins;
    bool foundAny = false;
};

// The plugin files of a folder: entries named "*.so" (in any case) that are not plain folders,
// in listing order.
QStringList ListPluginFiles(const QString& folder);
