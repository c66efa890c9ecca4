#pragma once

#include <QByteArray>
#include <QString>

// Path and string helpers. Paths use the native separator (os::kPathSeparator). The in-place
// forms change the caller's string; the forms that take a source return a fresh copy.

// Trim, unquote, trim, canonicalise "/." and ".." components. "%" is an ordinary character of
// a file's name, so %NAME% stays as written.
void CleanPath(QString& path);
QString CleanedPath(const QString& source);
// The same with %NAME% references expanded before canonicalising (one to a variable that is
// not set stays as written): only for paths the user types as settings, such as the output
// folder, never for a file's own path or a name read from a folder or a playlist.
QString CleanedSettingPath(const QString& source);

void AddBackslash(QString& path);
QString AppendPath(const QString& path, const QString& part);
QString FileNamePart(const QString& path);
// The order names are listed in: letters alike whatever their case, then by case, so that a
// listing is the same on every file system.
bool LessInListingOrder(const QString& left, const QString& right);
QString ExtensionPart(const QString& path);
void AddExtension(QString& path, const QString& extension);
void RemoveExtension(QString& path);
void RenameExtension(QString& path, const QString& extension);
void RemoveFileSpec(QString& path);
bool PathExists(const QString& path);

// Narrow text (the platform's narrow encoding, UTF-8) to wide text; empty gives empty.
QString NarrowToWide(const QByteArray& narrow);
QByteArray WideToNarrow(const QString& wide, bool* dataLost = nullptr);

// White space at both ends removed, as the wide-character classification defines it.
QString TrimWhiteSpace(const QString& text);
