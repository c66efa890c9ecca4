#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringConverter>
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// Builds program-folder trees (coder and decoder folders, "Codecs") in a temporary folder.

inline void WriteBytes(const QString& path, const QByteArray& bytes)
{
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

inline void WriteText(const QString& path, const QString& text)
{
    WriteBytes(path, text.toUtf8());
}

inline void WriteExecutable(const QString& path, const QByteArray& bytes = "#!/bin/sh\n")
{
    WriteBytes(path, bytes);
    ASSERT_TRUE(QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner |
                                                QFile::ExeGroup | QFile::ExeOther));
}

inline QByteArray Encoded(const QString& text, QStringConverter::Encoding encoding)
{
    QStringEncoder encoder(encoding, QStringEncoder::Flag::WriteBom);
    return encoder.encode(text);
}
