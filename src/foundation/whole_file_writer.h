#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file with `data` in one go: written to a temporary file beside it, flushed to
// disk and renamed into place. On any failure (full disk, missing folder, no permission) the
// previous file is left exactly as it was, the temporary file is removed, false is returned
// and errorText (when given) says why.
bool WriteWholeFile(const QString& path, const QByteArray& data, QString* errorText = nullptr);
