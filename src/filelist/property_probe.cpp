#include "filelist/property_probe.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <iterator>
#include <mutex>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

// A helper silent this long is taken for hung on its file. Reading a file's header takes
// milliseconds, even from a network share.
constexpr int kSilenceLimitMs = 60000;
constexpr int kStartLimitMs = 10000;
constexpr int kStopLimitMs = 2000;
constexpr char kEnd = '\0';

std::mutex programMutex;
bool programNamed = false;
QString namedProgram;

// The texts in the order they travel.
using AudioText = CMediaInfoLibrary::AudioText;
constexpr QString AudioText::*kFields[] = {
    &AudioText::format,       &AudioText::bitRate,    &AudioText::channels,
    &AudioText::samplingRate, &AudioText::resolution, &AudioText::duration,
};

constexpr QString SourceTags::*kTagTexts[] = {
    &SourceTags::artist, &SourceTags::albumArtist, &SourceTags::album,
    &SourceTags::title,  &SourceTags::genre,       &SourceTags::composer,
};
constexpr int SourceTags::*kTagNumbers[] = {&SourceTags::year, &SourceTags::track,
                                            &SourceTags::disc};
constexpr qsizetype kAnswerTexts =
    std::size(kFields) + std::size(kTagTexts) + std::size(kTagNumbers);

} // namespace

CPropertyProbe::CPropertyProbe(const QString& helperProgram, const QString& libraryName)
    : program(helperProgram), libraryFileName(libraryName)
{
}

CPropertyProbe::~CPropertyProbe()
{
    Stop();
}

std::vector<ProbeAnswer> CPropertyProbe::Read(const QStringList& paths)
{
    std::vector<ProbeAnswer> answers;
    if (paths.isEmpty() || !EnsureStarted())
        return answers;
    QByteArray request;
    for (const QString& path : paths)
        request += path.toUtf8() + kEnd;
    process->write(request);

    answers.reserve(size_t(paths.size()));
    bool answering = true;
    while (answers.size() < size_t(paths.size())) {
        ProbeAnswer answer;
        if (TakeProbeAnswer(received, answer)) {
            answers.push_back(std::move(answer));
            continue;
        }
        if (!answering)
            break;
        // Waiting also writes what is left of the request.
        answering = process->waitForReadyRead(kSilenceLimitMs);
        received += process->readAllStandardOutput();
    }
    if (!answering) {
        // One that never answered is broken itself (a missing library, say), not its file.
        if (answers.empty() && !answeredOnce)
            usable = false;
        Stop();
    }
    answeredOnce = answeredOnce || !answers.empty();
    return answers;
}

bool CPropertyProbe::EnsureStarted()
{
    if (process && process->state() == QProcess::Running)
        return true;
    Stop();
    if (!usable)
        return false;
    process = std::make_unique<QProcess>();
    process->setProgram(program);
    process->setArguments({u"--library"_s, libraryFileName});
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start();
    if (!process->waitForStarted(kStartLimitMs)) {
        usable = false;
        Stop();
        return false;
    }
    return true;
}

void CPropertyProbe::Stop()
{
    received.clear();
    if (!process)
        return;
    if (process->state() != QProcess::NotRunning) {
        // The end of its input tells a healthy helper to leave; a hung one is killed.
        process->closeWriteChannel();
        if (!process->waitForFinished(kStopLimitMs)) {
            process->kill();
            process->waitForFinished(kStopLimitMs);
        }
    }
    process.reset();
}

QString PropertyProbeProgram()
{
    std::lock_guard lock(programMutex);
    if (!programNamed) {
        programNamed = true;
        if (QCoreApplication::instance()) {
            const QString beside = QCoreApplication::applicationDirPath() + u"/orvel-probe"_s;
            if (QFileInfo(beside).isExecutable())
                namedProgram = beside;
        }
    }
    return namedProgram;
}

void SetPropertyProbeProgram(const QString& program)
{
    std::lock_guard lock(programMutex);
    programNamed = true;
    namedProgram = program;
}

QStringList AnswerTexts(const ProbeAnswer& answer)
{
    QStringList texts;
    for (QString AudioText::*field : kFields)
        texts << answer.text.*field;
    for (QString SourceTags::*field : kTagTexts)
        texts << answer.tags.*field;
    for (int SourceTags::*field : kTagNumbers)
        texts << QString::number(answer.tags.*field);
    return texts;
}

bool AnswerFromTexts(const QStringList& texts, ProbeAnswer& answer)
{
    if (texts.size() != kAnswerTexts)
        return false;
    qsizetype next = 0;
    for (QString AudioText::*field : kFields)
        answer.text.*field = texts[next++];
    for (QString SourceTags::*field : kTagTexts)
        answer.tags.*field = texts[next++];
    for (int SourceTags::*field : kTagNumbers)
        answer.tags.*field = texts[next++].toInt();
    return true;
}

QByteArray EncodeProbeAnswer(const ProbeAnswer& answer)
{
    QByteArray bytes;
    for (const QString& text : AnswerTexts(answer))
        bytes += text.toUtf8() + kEnd;
    return bytes;
}

bool TakeProbeAnswer(QByteArray& buffer, ProbeAnswer& answer)
{
    // Nothing is taken before the whole answer is there.
    QList<QString> texts;
    qsizetype at = 0;
    while (texts.size() < kAnswerTexts) {
        const qsizetype end = buffer.indexOf(kEnd, at);
        if (end < 0)
            return false;
        texts << QString::fromUtf8(buffer.constData() + at, end - at);
        at = end + 1;
    }
    buffer.remove(0, at);
    return AnswerFromTexts(texts, answer);
}
