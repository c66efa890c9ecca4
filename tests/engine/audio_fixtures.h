#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

// Real audio files for the engine tests, made with the encoders the program drives.
namespace fixtures {

// Runs a program to its end; true when it exited with 0.
inline bool Run(const QString& program, const QStringList& arguments, int timeoutMs = 60000)
{
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs))
        return false;
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
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
