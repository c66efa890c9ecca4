// An orvel plugin that adds ReplayGain values to files that exist, of any format ffmpeg
// decodes, album by album: the files decoded on the core the program gives it, measured and
// tagged with the same code as the conversions.

#include "replay_gain_dialog.h"
#include "replay_gain_job.h"

#include <QStandardPaths>
#include <QWidget>
#include <memory>
#include <orvel/plugin.h>

using namespace Qt::StringLiterals;

namespace {

OrvelLanguage* language = nullptr;
std::unique_ptr<CReplayGainJob> job;

QString LanguageText(int id)
{
    if (!language || !language->module)
        return {};
    char16_t buffer[kPluginTextBufferSize] = {};
    const int length =
        language->module->getString(language->module, id, buffer, kPluginTextBufferSize);
    return QString::fromUtf16(buffer, length);
}

void CopyText(const QString& text, char16_t* buffer)
{
    const qsizetype length = qMin(text.size(), qsizetype(kPluginTextBufferSize - 1));
    std::copy_n(text.utf16(), length, buffer);
    buffer[length] = u'\0';
}

} // namespace

ORVEL_PLUGIN_EXPORT void InitPlugin()
{
}

ORVEL_PLUGIN_EXPORT void DeInitPlugin()
{
    // Destroying the job lets the albums being measured finish before the core goes.
    job.reset();
    language = nullptr;
}

ORVEL_PLUGIN_EXPORT void SetLanguage(OrvelLanguage* programLanguage)
{
    language = programLanguage;
}

ORVEL_PLUGIN_EXPORT void SetCoreObject(ICore* core)
{
    job.reset();
    if (core)
        job = std::make_unique<CReplayGainJob>(*core, QStandardPaths::findExecutable(u"ffmpeg"_s));
}

ORVEL_PLUGIN_EXPORT void GetPluginName(char16_t* buffer)
{
    CopyText(u"ReplayGain tagger"_s, buffer);
}

ORVEL_PLUGIN_EXPORT void GetPluginVersion(char16_t* buffer)
{
    CopyText(u"2.0"_s, buffer);
}

ORVEL_PLUGIN_EXPORT void ShowPluginDialog(void* parent)
{
    if (!job)
        return;
    CReplayGainDialog dialog(static_cast<QWidget*>(parent), *job, LanguageText);
    dialog.exec();
}
