#pragma once

#include "audio/media_info_library.h"
#include "tags/source_tags.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class QProcess;

// What a helper reads of one file: the MediaInfo texts and the tags.
struct ProbeAnswer
{
    CMediaInfoLibrary::AudioText text;
    SourceTags tags;
};

// An answer as texts, in the order they travel and are stored: the properties' texts, the tags'
// texts, the tags' numbers. A field is added only at the end.
QStringList AnswerTexts(const ProbeAnswer& answer);
// The answer back; false when the count of texts is not an answer's.
bool AnswerFromTexts(const QStringList& texts, ProbeAnswer& answer);

// One orvel-probe helper process, which reads files' properties with its own copy of the
// MediaInfo library. Threads of one process gain little when they read files together (the
// library serialises much of its work); processes scale with the cores. Used from one thread.
class CPropertyProbe
{
public:
    CPropertyProbe(const QString& program, const QString& libraryFileName);
    CPropertyProbe(const CPropertyProbe&) = delete;
    CPropertyProbe& operator=(const CPropertyProbe&) = delete;
    ~CPropertyProbe();

    // The answers for the paths, in order. Fewer come back when the helper stopped answering
    // (it could not start, died, or was silent for too long): while Usable() the first path
    // without an answer is the one it failed on, and the next call starts a new helper.
    std::vector<ProbeAnswer> Read(const QStringList& paths);

    // False once a helper could not be started, or died before it ever answered: reading
    // goes on without one.
    bool Usable() const { return usable; }

private:
    bool EnsureStarted();
    void Stop();

    const QString program;
    const QString libraryFileName;
    std::unique_ptr<QProcess> process;
    QByteArray received;
    bool usable = true;
    bool answeredOnce = false;
};

// The helper beside the running program, or empty when there is none (then files are read
// on threads). Tests and benchmarks, which run from elsewhere, name it.
QString PropertyProbeProgram();
void SetPropertyProbeProgram(const QString& program);

// What passes between the two processes: each path as UTF-8 closed by a NUL byte; each
// answer as the six texts of AudioText, in their declared order, then the nine tag fields of
// SourceTags (numbers in decimal), each closed by a NUL byte.
QByteArray EncodeProbeAnswer(const ProbeAnswer& answer);
// Takes one whole answer from the front of the buffer; false while it is not all there.
bool TakeProbeAnswer(QByteArray& buffer, ProbeAnswer& answer);
