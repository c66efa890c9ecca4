#pragma once

#include "foundation/os.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

// Real audio files for the engine tests, made with the encoders the program drives.
namespace fixtures {

// Runs a program (found on PATH) to its end; true when it exited with 0. Spawned the way the
// core spawns, so ThreadSanitizer sees no second kind of child handling in the same process.
inline bool Run(const QString& program, const QStringList& arguments)
{
    const QString path = QStandardPaths::findExecutable(program);
    const qint64 pid = path.isEmpty() ? 0 : os::SpawnProcess(path, arguments, false);
    if (pid <= 0 || !os::WaitForExitWithoutReaping(pid))
        return false;
    const os::ExitStatus status = os::ReapProcess(pid);
    return status.kind == os::ExitStatus::Kind::Exited && status.code == 0;
}

// A sine tone as WAV: rate in Hz, channels, bits per sample, length in seconds.
inline bool MakeWav(const QString& path, int rate, int channels, int bits, double seconds)
{
    return Run(QStringLiteral("sox"),
               {QStringLiteral("-n"), QStringLiteral("-r"), QString::number(rate),
                QStringLiteral("-c"), QString::number(channels), QStringLiteral("-b"),
                QString::number(bits), path, QStringLiteral("synth"), QString::number(seconds),
                QStringLiteral("sine"), QStringLiteral("440")});
}

inline bool MakeFlac(const QString& wav, const QString& flac)
{
    return Run(QStringLiteral("flac"),
               {QStringLiteral("-s"), QStringLiteral("-f"), wav, QStringLiteral("-o"), flac});
}

// Writes an executable shell script.
inline bool WriteScript(const QString& path, const QByteArray& body)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    file.write("#!/bin/sh\n" + body);
    file.close();
    return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                               QFile::ReadGroup | QFile::ExeGroup);
}

// Files in a folder whose name starts with the prefix.
inline QStringList FilesStartingWith(const QString& folder, const QString& prefix)
{
    return QDir(folder).entryList({prefix + QStringLiteral("*")}, QDir::Files | QDir::System);
}

} // namespace fixtures
