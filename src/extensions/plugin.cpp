#include "extensions/plugin.h"

#include "codecs/codec_discovery.h"
#include "extensions/language_pack.h"
#include "foundation/error_box.h"
#include "foundation/os.h"
#include "foundation/path_helpers.h"
#include "run/core.h"

#include <QFileInfo>
#include <QLibrary>
using namespace Qt::StringLiterals;

namespace {

constexpr auto kPluginFolder = u"Plugins";
constexpr auto kPluginPattern = u"*.so";

template <typename Function> bool Resolve(QLibrary& library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(library.resolve(name));
    return function != nullptr;
}

// A buffer a plugin wrote into, read up to its terminator; a plugin that wrote no terminator
// is cut at the end of the buffer.
QString BufferText(char16_t* buffer)
{
    buffer[kPluginTextBufferSize - 1] = u'\0';
    return TrimWhiteSpace(QString::fromUtf16(buffer));
}

} // namespace

PluginCore MakePluginCore()
{
    return PluginCore(new CCore, [](ICore* core) { delete static_cast<CCore*>(core); });
}

CPlugin::CPlugin(PluginCore pluginCore) : core(std::move(pluginCore))
{
}

CPlugin::~CPlugin()
{
    Release();
}

void CPlugin::Release()
{
    if (initialised && deInitPlugin)
        deInitPlugin();
    initialised = false;
    // The core goes before the library: its runs may be objects whose code lives there.
    core.reset();
    if (library)
        library->unload();
    library.reset();
}

bool LoadPlugin(CPlugin& record, const QString& path, CLanguagePack& language)
{
    record.library = std::make_unique<QLibrary>(path);
    if (!record.library->load()) {
        ShowLastError(language.GetString(kErrorCaptionStringId), record.library->errorString());
        record.library.reset();
        return false;
    }
    QLibrary& library = *record.library;
    const bool complete = Resolve(library, "GetPluginName", record.getPluginName) &&
                          Resolve(library, "GetPluginVersion", record.getPluginVersion) &&
                          Resolve(library, "ShowPluginDialog", record.showPluginDialog) &&
                          Resolve(library, "InitPlugin", record.initPlugin) &&
                          Resolve(library, "DeInitPlugin", record.deInitPlugin) &&
                          Resolve(library, "SetLanguage", record.setLanguage) &&
                          Resolve(library, "SetCoreObject", record.setCoreObject);
    if (!complete) {
        // Not a plugin of ours: nothing of it may stay mapped.
        library.unload();
        record.library.reset();
        return false;
    }

    record.initPlugin();
    record.initialised = true;
    record.setLanguage(language.PluginLanguageObject());
    record.setCoreObject(record.core.get());
    char16_t buffer[kPluginTextBufferSize] = {};
    record.getPluginName(buffer);
    record.name = BufferText(buffer);
    record.getPluginVersion(buffer);
    record.version = BufferText(buffer);
    record.fileName = FileNamePart(CleanedPath(path));
    record.fileSize = quint32(QFileInfo(path).size());
    return true;
}

CPluginList::~CPluginList()
{
    for (std::unique_ptr<CPlugin>& plugin : plugins)
        plugin.reset();
}

void CPluginList::LoadAll(const QString& programFolder, CLanguagePack& language,
                          const PluginCoreFactory& makeCore)
{
    const QStringList paths =
        ListPluginFiles(programFolder + os::kPathSeparator + QString::fromUtf16(kPluginFolder));
    foundAny = foundAny || !paths.isEmpty();
    for (const QString& path : paths) {
        auto record = std::make_unique<CPlugin>(makeCore());
        if (LoadPlugin(*record, path, language))
            plugins.push_back(std::move(record));
    }
}

bool CPluginList::ShowDialog(int commandId, void* mainWindow) const
{
    const qint64 index = qint64(commandId) - kPluginCommandBase;
    if (index < 0 || index >= qint64(plugins.size()))
        return false;
    plugins[size_t(index)]->showPluginDialog(mainWindow);
    return true;
}

QStringList ListPluginFiles(const QString& folder)
{
    QStringList paths;
    ListFiles(folder, QString::fromUtf16(kPluginPattern), paths);
    return paths;
}
