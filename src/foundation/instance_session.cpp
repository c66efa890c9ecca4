#include "foundation/instance_session.h"

#include "foundation/os.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

const QString kSessionPrefix = u"orv-session-"_s;
const QString kSessionSuffix = u".lst"_s;
const QString kPendingSuffix = u".new"_s;
constexpr int kNameAttempts = 64;

QString RandomHex()
{
    return u"%1"_s.arg(static_cast<qulonglong>(os::SecureRandom32()), 8, 16, QChar(u'0')).toUpper();
}

// Only a regular file of the session's owner: a shared temporary folder may hold anything.
bool RemoveListedFile(const QString& filePath, quint32 owner)
{
    const QFileInfo info(filePath);
    if (info.isSymLink() || !info.isFile() || info.ownerId() != owner)
        return false;
    return QFile::remove(filePath);
}

// An absolute, clean path whose name has the temporary output form.
bool IsListedOutput(const QString& path)
{
    return QDir::isAbsolutePath(path) && QDir::cleanPath(path) == path &&
           CInstanceSession::IsTemporaryOutputName(QFileInfo(path).fileName());
}

// An absolute, clean path of an intermediate WAV in the user's runtime folder, where planning
// puts the WAVs when that folder has room.
bool IsRuntimeWav(const QString& path)
{
    const QString runtime = os::RuntimeFolder();
    const QFileInfo info(path);
    return !runtime.isEmpty() && QDir::isAbsolutePath(path) && QDir::cleanPath(path) == path &&
           info.path() == runtime && CInstanceSession::IsTemporaryWavName(info.fileName());
}

int RemoveEndedSession(const QString& folder, const QString& sessionPath)
{
    const int descriptor = os::OpenLockedFile(sessionPath);
    if (descriptor < 0)
        return 0; // its instance is alive (or the file is not ours to read)
    int removed = 0;
    // Another start may have cleaned this session up between our open and our lock.
    if (os::DescriptorNamesPath(descriptor, sessionPath)) {
        const quint32 owner = QFileInfo(sessionPath).ownerId();
        QFile record(sessionPath);
        if (owner == os::CurrentUserId() && record.open(QIODevice::ReadOnly)) {
            const QList<QByteArray> lines = record.readAll().split('\n');
            record.close();
            for (const QByteArray& line : lines) {
                const QString name = QFile::decodeName(line);
                if (CInstanceSession::IsTemporaryWavName(name) &&
                    RemoveListedFile(folder + os::kPathSeparator + name, owner))
                    ++removed;
                else if ((IsListedOutput(name) || IsRuntimeWav(name)) &&
                         RemoveListedFile(name, owner))
                    ++removed;
            }
            QFile::remove(sessionPath);
        }
    }
    os::CloseDescriptor(descriptor);
    return removed;
}

} // namespace

CInstanceSession::~CInstanceSession()
{
    End();
}

bool CInstanceSession::Begin(const QString& sessionFolder)
{
    std::lock_guard guard(lock);
    if (descriptor >= 0)
        return true;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const QString base = sessionFolder + os::kPathSeparator + kSessionPrefix + RandomHex();
        // Locked under a name the clean-up ignores, then renamed: a starting instance never
        // shows an unlocked session file that another start would take for a dead one.
        const QString pending = base + kPendingSuffix;
        const int created = os::CreateLockedFile(pending);
        if (created < 0)
            continue;
        const QString final = base + kSessionSuffix;
        if (QFile::rename(pending, final)) {
            descriptor = created;
            folder = sessionFolder;
            path = final;
            return true;
        }
        QFile::remove(pending);
        os::CloseDescriptor(created);
    }
    return false;
}

void CInstanceSession::Record(const QString& temporaryPath)
{
    std::lock_guard guard(lock);
    if (descriptor < 0)
        return;
    const QFileInfo info(temporaryPath);
    // Written straight through to the file: a crash a moment later must still find it. A WAV
    // in the runtime folder is listed by its whole path.
    if (QDir::cleanPath(info.path()) == QDir::cleanPath(folder) &&
        IsTemporaryWavName(info.fileName()))
        os::WriteAll(descriptor, QFile::encodeName(info.fileName()) + '\n');
    else if (IsRuntimeWav(temporaryPath))
        os::WriteAll(descriptor, QFile::encodeName(temporaryPath) + '\n');
}

void CInstanceSession::RecordOutput(const QString& temporaryOutputPath)
{
    std::lock_guard guard(lock);
    if (descriptor < 0 || !IsListedOutput(temporaryOutputPath))
        return;
    os::WriteAll(descriptor, QFile::encodeName(temporaryOutputPath) + '\n');
}

void CInstanceSession::End()
{
    std::lock_guard guard(lock);
    if (descriptor < 0)
        return;
    QFile::remove(path);
    os::CloseDescriptor(descriptor);
    descriptor = -1;
    path.clear();
    folder.clear();
}

bool CInstanceSession::IsActive() const
{
    std::lock_guard guard(lock);
    return descriptor >= 0;
}

QString CInstanceSession::GetPath() const
{
    std::lock_guard guard(lock);
    return path;
}

int CInstanceSession::RemoveFilesOfEndedSessions(const QString& folder)
{
    const QStringList sessions = QDir(folder).entryList({kSessionPrefix + u'*' + kSessionSuffix},
                                                        QDir::Files | QDir::Hidden);
    int removed = 0;
    for (const QString& name : sessions) {
        if (IsSessionFileName(name))
            removed += RemoveEndedSession(folder, folder + os::kPathSeparator + name);
    }
    return removed;
}

bool CInstanceSession::IsSessionFileName(const QString& name)
{
    static const QRegularExpression pattern(u"^orv-session-[0-9A-F]{8}\\.lst$"_s);
    return pattern.match(name).hasMatch();
}

bool CInstanceSession::IsTemporaryWavName(const QString& name)
{
    static const QRegularExpression pattern(u"^orv[0-9A-Fa-f]{8}\\.wav$"_s);
    return pattern.match(name).hasMatch();
}

bool CInstanceSession::IsTemporaryOutputName(const QString& name)
{
    static const QRegularExpression pattern(u"^\\.orv[0-9A-F]{8}(\\.[^/\\n]*)?$"_s);
    return pattern.match(name).hasMatch();
}

namespace {

CInstanceSession& ProgramSession()
{
    static CInstanceSession session;
    return session;
}

} // namespace

bool BeginInstanceSession()
{
    os::StartChildWatchdog();
    const QString folder = os::TemporaryFolder();
    CInstanceSession::RemoveFilesOfEndedSessions(folder);
    return ProgramSession().Begin(folder);
}

void RecordTemporaryFile(const QString& temporaryPath)
{
    ProgramSession().Record(temporaryPath);
}

void RecordTemporaryOutput(const QString& temporaryOutputPath)
{
    ProgramSession().RecordOutput(temporaryOutputPath);
}

void EndInstanceSession()
{
    ProgramSession().End();
}
