#pragma once

#include <QString>
#include <mutex>

// The record one running orvel keeps of the temporary files it hands out (intermediate WAVs, and
// results being written under a hidden name beside their final one): a session file in the
// temporary folder, locked for as long as the instance lives. A session file whose lock can be
// taken belongs to an instance that died; a later start removes the files it lists, and it.
class CInstanceSession
{
public:
    CInstanceSession() = default;
    CInstanceSession(const CInstanceSession&) = delete;
    CInstanceSession& operator=(const CInstanceSession&) = delete;
    ~CInstanceSession();

    // Creates and locks this instance's session file in `folder`.
    bool Begin(const QString& folder);

    // Lists a temporary file handed out by this instance. Only names of the temporary WAV form
    // in the session's folder or in the user's runtime folder are kept, so a damaged record can
    // never name another file.
    void Record(const QString& temporaryPath);

    // Lists the hidden name a result is written under until it is whole (an absolute path in
    // any folder). Only names of that form are kept.
    void RecordOutput(const QString& temporaryOutputPath);

    // Deletes the session file and releases its lock.
    void End();

    bool IsActive() const;
    QString GetPath() const;

    // Removes the temporary WAVs and outputs listed by sessions in `folder` whose instance has
    // ended, and their session files; sessions still locked by a running instance are left
    // alone. Answers the number of files removed.
    static int RemoveFilesOfEndedSessions(const QString& folder);

    static bool IsSessionFileName(const QString& name);
    static bool IsTemporaryWavName(const QString& name);
    // ".orv", eight hexadecimal digits and the result's own extension (if any).
    static bool IsTemporaryOutputName(const QString& name);

private:
    mutable std::mutex lock;
    int descriptor = -1;
    QString folder;
    QString path;
};

// Call once at start-up, before the first thread is created (it forks): starts the watchdog
// that takes this instance's encoders and decoders down with it however it ends, removes the
// temporary WAVs that instances which died left behind, and opens this instance's session.
bool BeginInstanceSession();

// The program-wide session, for the names job planning and the core hand out.
void RecordTemporaryFile(const QString& temporaryPath);
void RecordTemporaryOutput(const QString& temporaryOutputPath);

// At a clean exit: the session file goes; the watchdog ends with us.
void EndInstanceSession();
