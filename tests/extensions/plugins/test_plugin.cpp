// A plugin for the plugin loader's tests. It appends every call it receives, one line each,
// to the file named by ORVEL_PLUGIN_LOG, so a test can check what was called and in which
// order, up to the unloading of the library itself.

#include <cstdio>
#include <cstdlib>
#include <orvel/plugin.h>

namespace {

void Log(const char* format, const void* value = nullptr, const char* text = "")
{
    const char* path = std::getenv("ORVEL_PLUGIN_LOG");
    if (!path)
        return;
    if (FILE* file = std::fopen(path, "a")) {
        std::fprintf(file, "%s ", ORVEL_TEST_PLUGIN_TAG);
        std::fprintf(file, format, value, text);
        std::fputc('\n', file);
        std::fclose(file);
    }
}

void Copy(const char16_t* text, char16_t* buffer)
{
    int i = 0;
    for (; text[i] != u'\0' && i < kPluginTextBufferSize - 1; ++i)
        buffer[i] = text[i];
    buffer[i] = u'\0';
}

// Plain ASCII of a language text, enough for the tests' packs.
void Narrow(const char16_t* wide, char* narrow, int size)
{
    int i = 0;
    for (; wide[i] != u'\0' && i < size - 1; ++i)
        narrow[i] = wide[i] < 128 ? char(wide[i]) : '?';
    narrow[i] = '\0';
}

ICore* core = nullptr;

__attribute__((destructor)) void Unloaded()
{
    Log("unloaded");
}

} // namespace

ORVEL_PLUGIN_EXPORT void InitPlugin()
{
    Log("InitPlugin");
}

#ifndef ORVEL_TEST_PLUGIN_WITHOUT_DEINIT
ORVEL_PLUGIN_EXPORT void DeInitPlugin()
{
    Log("DeInitPlugin core %p", core);
}
#endif

ORVEL_PLUGIN_EXPORT void SetLanguage(OrvelLanguage* language)
{
    char16_t wide[64] = {};
    char narrow[64] = {};
    if (language && language->module)
        language->module->getString(language->module, 116, wide, 64);
    Narrow(wide, narrow, 64);
    Log("SetLanguage %p %s", language ? language->module : nullptr, narrow);
}

ORVEL_PLUGIN_EXPORT void SetCoreObject(ICore* pluginCore)
{
    core = pluginCore;
    Log("SetCoreObject %p", core);
}

ORVEL_PLUGIN_EXPORT void GetPluginName(char16_t* buffer)
{
    Log("GetPluginName");
    Copy(ORVEL_TEST_PLUGIN_NAME, buffer);
}

ORVEL_PLUGIN_EXPORT void GetPluginVersion(char16_t* buffer)
{
    Log("GetPluginVersion");
    Copy(ORVEL_TEST_PLUGIN_VERSION, buffer);
}

ORVEL_PLUGIN_EXPORT void ShowPluginDialog(void* parent)
{
    Log("ShowPluginDialog %p", parent);
}
