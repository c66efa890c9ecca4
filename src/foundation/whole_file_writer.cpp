#include "foundation/whole_file_writer.h"

#include <QSaveFile>

bool WriteWholeFile(const QString& path, const QByteArray& data, QString* errorText)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (errorText)
            *errorText = file.errorString();
        return false;
    }
    // A write that the file system cuts short (a full disk, a file size limit) can surface
    // only when the buffer is flushed, and commit() does not look at that error: check it
    // here so a truncated file is never renamed over the good one.
    if (file.write(data) != data.size() || !file.flush() || file.error() != QFileDevice::NoError) {
        if (errorText)
            *errorText = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        if (errorText)
            *errorText = file.errorString();
        return false;
    }
    return true;
}
