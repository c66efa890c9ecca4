#include "run/run_files.h"

#include "foundation/os.h"

#include <QFile>
#include <QFileInfo>
#include <system_error>

// Removes a file the core created or let a program create. Anything but a regular file (or a
// link) is left alone, so an output path such as /dev/null never loses its device.
void DeleteRunFile(const QString& path)
{
    if (path.isEmpty())
        return;
    const QFileInfo info(path);
    if (info.isSymLink() || info.isFile())
        QFile::remove(path);
}

// Read with std::filesystem: QFileInfo's times go through the C library's local-time
// conversion, which is not safe to call from several worker threads at once.
FileStamp StampOf(const QString& path)
{
    FileStamp stamp;
    if (path.isEmpty())
        return stamp;
    const std::filesystem::path native(os::SystemName(path).toStdString());
    std::error_code error;
    const auto status = std::filesystem::status(native, error);
    stamp.exists = !error && std::filesystem::exists(status);
    stamp.regular = stamp.exists && std::filesystem::is_regular_file(status);
    if (stamp.regular) {
        stamp.size = std::filesystem::file_size(native, error);
        stamp.modified = std::filesystem::last_write_time(native, error);
    }
    return stamp;
}

// False only for a regular file the run neither created nor changed; devices and paths the
// core does not know (empty) count as written.
bool WroteOutput(const QString& path, const FileStamp& before)
{
    if (path.isEmpty())
        return true;
    const FileStamp after = StampOf(path);
    if (after.exists && !after.regular)
        return true;
    if (!after.exists)
        return false;
    return !before.exists || before.size != after.size || before.modified != after.modified;
}

// Moves a whole result over its final name in one step (replacing an older result).
bool PlaceResult(const QString& written, const QString& output)
{
    std::error_code error;
    std::filesystem::rename(os::SystemName(written).toStdString(),
                            os::SystemName(output).toStdString(), error);
    return !error;
}

bool PlaceOrDiscard(const QString& written, const QString& output)
{
    if (written == output)
        return true;
    if (PlaceResult(written, output))
        return true;
    DeleteRunFile(written);
    return false;
}

bool IsLink(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isSymLink();
}

// The hidden name only stands in for a file, a link or nothing: a device or folder named as
// the output is written as it is. A link is replaced by the result, never written through: it
// may point anywhere, and only its own place was asked for.
bool CanWriteUnderHiddenName(const QString& output)
{
    if (output.isEmpty())
        return false;
    if (IsLink(output))
        return true;
    const FileStamp stamp = StampOf(output);
    return !stamp.exists || stamp.regular;
}
