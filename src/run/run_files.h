#pragma once

#include "foundation/os.h"
#include "run/run_result.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <filesystem>

// What a run leaves on disk, and what it says on its standard error: the core's helpers for a
// run's output file (written under a hidden name, checked, moved into place) and its error tail.

// What a run's output file looked like, to tell whether the run wrote it.
struct FileStamp
{
    bool exists = false;
    bool regular = false;
    std::uintmax_t size = 0;
    std::filesystem::file_time_type modified;
};

// Removes a file the core created or let a program create. Anything but a regular file (or a
// link) is left alone, so an output path such as /dev/null never loses its device.
void DeleteRunFile(const QString& path);
// Read with std::filesystem: QFileInfo's times go through the C library's local-time
// conversion, which is not safe to call from several worker threads at once.
FileStamp StampOf(const QString& path);
// False only for a regular file the run neither created nor changed; devices and paths the
// core does not know (empty) count as written.
bool WroteOutput(const QString& path, const FileStamp& before);
// Moves a whole result over its final name in one step (replacing an older result).
bool PlaceResult(const QString& written, const QString& output);
// Moves a result from the name it was written under to its own; when that fails, the written
// file goes: nobody asked for it under that name. True when the result is at its name now
// (also when it was written there).
bool PlaceOrDiscard(const QString& written, const QString& output);
bool IsLink(const QString& path);
// The hidden name only stands in for a file, a link or nothing: a device or folder named as
// the output is written as it is. A link is replaced by the result, never written through: it
// may point anywhere, and only its own place was asked for.
bool CanWriteUnderHiddenName(const QString& output);

// Keeps the tail of what a program writes to standard error, and passes it on where the run
// is to be seen.
class CErrorTail
{
public:
    explicit CErrorTail(bool passedOn) : passOn(passedOn) {}

    void Add(const QByteArray& bytes)
    {
        if (passOn)
            os::WriteAll(2, bytes);
        tail.append(bytes);
        if (tail.size() > RunResult::kKeptErrorBytes) {
            tail.remove(0, tail.size() - RunResult::kKeptErrorBytes);
            cut = true;
        }
    }

    // Whole lines only: progress lines ended by a carriage return count as lines.
    QString Lines() const
    {
        QByteArray text = tail;
        text.replace('\r', '\n');
        if (cut) {
            const qsizetype firstEnd = text.indexOf('\n');
            text = firstEnd < 0 ? QByteArray() : text.mid(firstEnd + 1);
        }
        QStringList lines;
        for (const QByteArray& line : text.split('\n')) {
            const QString decoded = QString::fromUtf8(line).trimmed();
            if (!decoded.isEmpty())
                lines.append(decoded);
        }
        return lines.join(u'\n');
    }

private:
    bool passOn = false;
    bool cut = false;
    QByteArray tail;
};
