#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

using namespace Qt::StringLiterals;

// Shared by the fuzz targets: turning the raw input into text and files, and failing loudly.

// Aborts with a message, so libFuzzer records the input as a crash.
[[noreturn]] inline void FuzzFail(const char* what, const QString& detail = QString())
{
    std::fprintf(stderr, "property violated: %s\n%s\n", what, detail.toUtf8().constData());
    std::abort();
}

// Odd-length inputs decode as UTF-8, even-length ones as raw UTF-16 code units, so lone
// surrogates and every code unit reach the parsers too.
inline QString FuzzText(const uint8_t* data, size_t size)
{
    if (size % 2 == 1)
        return QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    return QString(reinterpret_cast<const QChar*>(data), static_cast<qsizetype>(size / 2));
}

// A file of this process's own in the temporary folder that each run rewrites.
inline QString FuzzFile(const char* name)
{
    static const QString folder = [] {
        // Memory-backed when the system has it: the targets rewrite their file every run.
        QByteArray base = qgetenv("TMPDIR").isEmpty() ? QByteArray("/tmp") : qgetenv("TMPDIR");
        if (QFile::exists(u"/dev/shm"_s))
            base = "/dev/shm";
        return QFile::decodeName(base) + u"/orvel-fuzz-"_s + QString::number(getpid());
    }();
    return folder + u'-' + QString::fromLatin1(name);
}

inline QString WriteFuzzFile(const char* name, const uint8_t* data, size_t size)
{
    const QString path = FuzzFile(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        FuzzFail("cannot write the input file", path);
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    return path;
}

inline QString Describe(const QStringList& list)
{
    QString text;
    for (const QString& item : list)
        text += u'[' + item + u"] "_s;
    return text;
}
