#pragma once

#include "foundation/command_line.h"
#include "planning/file_info.h"
#include "planning/job_planning.h"
#include "planning/planned_jobs.h"
#include "run/core.h"
#include "support/audio_fixtures.h"
#include "support/environment_scope.h"
#include "support/process_checks.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

// Shared by the fault tests: a temporary folder of their own, coders and decoders made from
// real programs or scripts, planning as the main window does it, and checks on processes.
namespace faults {

// Points TMPDIR (where the intermediate WAVs go) at a folder for the scope's life.
class CTemporaryFolderScope
{
public:
    explicit CTemporaryFolderScope(const QString& folder)
        : temporary("TMPDIR", QFile::encodeName(folder))
    {
    }

private:
    CEnvironmentScope temporary;
};

// A folder for one test: "tmp" holds the intermediate WAVs (TMPDIR points at it for the
// object's life) and "out" the results.
class CScratchFolder
{
public:
    CScratchFolder() : temporary(MadeFolder(root.filePath(QStringLiteral("tmp"))))
    {
        QDir().mkpath(filePath(QStringLiteral("out")));
    }
    bool isValid() const { return root.isValid(); }
    QString path() const { return root.path(); }
    QString filePath(const QString& name) const { return root.filePath(name); }
    QString tmp() const { return filePath(QStringLiteral("tmp")); }

private:
    static QString MadeFolder(const QString& path)
    {
        QDir().mkpath(path);
        return path;
    }

    QTemporaryDir root;
    CTemporaryFolderScope temporary;
};

using fixtures::ProcessEnded;
using fixtures::TemporaryWavs;
using fixtures::WaitUntil;

// Runs what was queued to the end (or gives up after the time limit).
inline bool RunToIdle(CCore& core, int timeoutMs = 60000)
{
    if (!core.Start())
        return false;
    return WaitUntil([&] { return !core.IsRunning(); }, timeoutMs) &&
           core.WaitForWorkers(timeoutMs);
}

inline QList<qint64> ReadPids(const QString& path)
{
    QList<qint64> pids;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray& word : file.readAll().simplified().split(' ')) {
            if (word.toLongLong() > 0)
                pids.append(word.toLongLong());
        }
    }
    return pids;
}

inline QByteArray Digest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Md5);
    hash.addData(&file);
    return hash.result();
}

template <typename Codec>
std::unique_ptr<Codec> MakeCodec(const QString& executable, const QString& commandLine,
                                 const QString& extension)
{
    auto codec = std::make_unique<Codec>();
    codec->SetExecutable(executable);
    codec->SetShowWindow(false);
    codec->name = QFileInfo(executable).fileName();
    codec->GetEntries().append({commandLine, extension, QStringLiteral("default")});
    return codec;
}

// A coder written in folder that does nothing but create marker: proof that it was started.
// Null when the script cannot be written.
inline std::unique_ptr<CCoder> MarkingCoder(const QString& folder, const QString& marker)
{
    const QString program = QDir(folder).filePath(QStringLiteral("coder"));
    if (!fixtures::WriteScript(program, "touch '" + marker.toUtf8() + "'\n"))
        return nullptr;
    return MakeCodec<CCoder>(program, QStringLiteral("%in% %out%"), QStringLiteral("out"));
}

inline QString Program(const QString& name)
{
    return QStandardPaths::findExecutable(name);
}

// Plans one file the way the apply command does: its decoder (when its type needs one), its
// own copy of the coder, both command lines.
inline bool Plan(CFileInfo& file, const PlannedDecoders& decoders, CCoder& coder,
                 const QString& outputFolder)
{
    PrepareDecoder(file, decoders, outputFolder, false);
    return AssignCoder(&coder, file) &&
           PrepareCoder(file, coder.GetEntries().first().commandLine, outputFolder);
}

inline void Queue(CCore& core, CFileInfo& file)
{
    if (file.decoder)
        core.AddProcess(file.decoder.get());
    if (file.coder)
        core.AddProcess(file.coder.get());
}

} // namespace faults
