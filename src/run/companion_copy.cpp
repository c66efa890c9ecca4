#include "run/companion_copy.h"

#include "planning/job_planning.h"
#include "run/run_files.h"
#include "tags/picture_shrinker.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 kCoarsestTimeMs = 2000;

QString Quoted(const QString& path)
{
    return u'"' + path + u'"';
}

CompanionResult Failure(const QString& reason)
{
    return {CompanionOutcome::Failed, reason};
}

// The shrunk picture, or the source's bytes untouched for a plain copy (empty data then: the
// file is copied, not read whole).
struct Content
{
    QByteArray data;
    qint64 size = -1;
};

bool ReadContent(const CompanionCopy& copy, Content& content, QString& reason)
{
    if (copy.maxSide <= 0 || !PictureShrinker()) {
        content.size = QFileInfo(copy.from).size();
        return true;
    }
    QFile source(copy.from);
    if (!source.open(QIODevice::ReadOnly)) {
        reason = u"%1 cannot be read: %2"_s.arg(Quoted(copy.from), source.errorString());
        return false;
    }
    content.data = PictureShrinker()->Shrink(source.readAll(), copy.maxSide).data;
    if (content.data.isEmpty()) {
        reason = u"%1 cannot be read as a picture"_s.arg(Quoted(copy.from));
        return false;
    }
    content.size = content.data.size();
    return true;
}

bool WriteHidden(const CompanionCopy& copy, const Content& content, const QString& hidden)
{
    if (content.data.isEmpty())
        return QFile::copy(copy.from, hidden);
    QFile file(hidden);
    return file.open(QIODevice::WriteOnly) && file.write(content.data) == content.data.size() &&
           file.flush();
}

bool Stamp(const QString& path, const QDateTime& time)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) &&
           file.setFileTime(time, QFileDevice::FileModificationTime);
}

} // namespace

bool IsOurCompanion(const QString& from, const QString& to)
{
    const QFileInfo target(to);
    if (target.isSymLink() || !target.isFile())
        return false;
    const QDateTime source = QFileInfo(from).lastModified();
    return std::abs(source.msecsTo(target.lastModified())) <= kCoarsestTimeMs;
}

CompanionResult CarryCompanion(const CompanionCopy& copy, bool write)
{
    const QFileInfo target(copy.to);
    const bool exists = target.exists() || target.isSymLink();
    if (exists && !IsOurCompanion(copy.from, copy.to))
        return {CompanionOutcome::UsersFile,
                u"%1 was not written by orvel: it is left as it is"_s.arg(Quoted(copy.to))};
    Content content;
    QString reason;
    if (!ReadContent(copy, content, reason))
        return Failure(reason);
    if (exists && target.size() == content.size)
        return {CompanionOutcome::UpToDate, {}};
    if (!write)
        return {CompanionOutcome::Copied, {}};
    const QString hidden = MakeTemporaryOutputName(copy.to);
    if (hidden.isEmpty())
        return Failure(u"no hidden name could be made beside %1"_s.arg(Quoted(copy.to)));
    if (!WriteHidden(copy, content, hidden) ||
        !Stamp(hidden, QFileInfo(copy.from).lastModified())) {
        DeleteRunFile(hidden);
        return Failure(u"%1 could not be written"_s.arg(Quoted(copy.to)));
    }
    if (!PlaceOrDiscard(hidden, copy.to))
        return Failure(u"%1 could not be put in place"_s.arg(Quoted(copy.to)));
    return {CompanionOutcome::Copied, {}};
}
