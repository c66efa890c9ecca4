#include "report/run_report.h"

#include "extensions/language_pack.h"
#include "foundation/console_log.h"
#include "foundation/os.h"
#include "foundation/path_helpers.h"

#include <cerrno>

using namespace Qt::StringLiterals;

namespace RunReport {

namespace {

namespace Id {
constexpr int kCoder = 105;
constexpr int kDecoder = 149;
constexpr int kExitCode = 246;
constexpr int kSignal = 247;
constexpr int kNotFound = 248;
constexpr int kNotStarted = 249;
constexpr int kNoOutput = 250;
constexpr int kDecoderFailed = 251;
constexpr int kNotPlaced = 252;
constexpr int kStopped = 255;
constexpr int kOwnInput = 256;
constexpr int kInvalidKind = 257;
constexpr int kOtherSource = 258;
constexpr int kSharedOutput = 259;
constexpr int kResultMissing = 410;
constexpr int kResultEmpty = 411;
constexpr int kResultDamaged = 412;
constexpr int kResultLength = 413;
constexpr int kNotCut = 540;
constexpr int kNotVerified = 650;
} // namespace Id

constexpr int kCommandNotFound = 127;

QString ProgramOf(const RunResult& run, const CLanguagePack& language)
{
    const QString kind = run.kind == kDecoderRun ? Text(language, Id::kDecoder, u"Decoder"_s)
                                                 : Text(language, Id::kCoder, u"Coder"_s);
    return kind + u' ' + FileNamePart(run.executable);
}

QString StartError(const RunResult& run, const CLanguagePack& language)
{
    if (run.code == ENOENT)
        return Text(language, Id::kNotFound, u"program not found"_s);
    const QString reason = run.code != 0 ? os::ErrorText(run.code) : QString();
    return Text(language, Id::kNotStarted, u"could not be started: %1"_s).arg(reason).trimmed();
}

QString Seconds(qint64 milliseconds)
{
    return QString::number(double(milliseconds) / 1000.0, 'f', 1);
}

QString CheckText(const ResultCheck& check, const CLanguagePack& language)
{
    switch (check.verdict) {
    case ResultCheck::Verdict::Missing:
        return Text(language, Id::kResultMissing, u"no result was written"_s);
    case ResultCheck::Verdict::Empty:
        return Text(language, Id::kResultEmpty, u"result is empty"_s);
    case ResultCheck::Verdict::Unreadable:
        return Text(language, Id::kResultDamaged, u"result is damaged: its audio cannot be read"_s);
    case ResultCheck::Verdict::WrongLength:
    case ResultCheck::Verdict::Passed:
        break;
    }
    return Text(language, Id::kResultLength, u"result is %1 s of %2 s"_s)
        .arg(Seconds(check.durationMs), Seconds(check.expectedMs));
}

} // namespace

QString Text(const CLanguagePack& language, int id, const QString& fallback)
{
    const QString text = language.GetString(id);
    return text.isEmpty() ? fallback : text;
}

QString Outcome(const RunResult& run, const CLanguagePack& language)
{
    switch (run.outcome) {
    case RunResult::Outcome::Exited:
        // What a shell, and the shipped coder and decoder scripts, answer for a program they
        // cannot find.
        if (run.code == kCommandNotFound)
            return Text(language, Id::kExitCode, u"exit code %1"_s).arg(run.code) + u": "_s +
                   Text(language, Id::kNotFound, u"program not found"_s);
        return Text(language, Id::kExitCode, u"exit code %1"_s).arg(run.code);
    case RunResult::Outcome::Signaled:
        return Text(language, Id::kSignal, u"ended by signal %1"_s).arg(run.code);
    case RunResult::Outcome::CouldNotStart:
        return StartError(run, language);
    case RunResult::Outcome::DecoderFailed:
        return Text(language, Id::kDecoderFailed, u"not started: its decoder failed"_s);
    case RunResult::Outcome::OwnInput:
        return Text(language, Id::kOwnInput, u"left out: it would overwrite its own input"_s);
    case RunResult::Outcome::OtherSource:
        return Text(language, Id::kOtherSource,
                    u"left out: it would overwrite another job's source"_s);
    case RunResult::Outcome::SharedOutput:
        return Text(language, Id::kSharedOutput,
                    u"left out: an earlier job writes the same file"_s);
    case RunResult::Outcome::NoOutput:
        return Text(language, Id::kNoOutput, u"no output written"_s);
    case RunResult::Outcome::NotPlaced:
        return Text(language, Id::kNotPlaced, u"the result could not be moved to its name"_s);
    case RunResult::Outcome::BadResult:
        return CheckText(run.check, language);
    case RunResult::Outcome::NotCut:
        return Text(language, Id::kNotCut, u"the tracks could not be cut from the image"_s);
    case RunResult::Outcome::NotVerified:
        return Text(language, Id::kNotVerified, u"result's audio differs from its source"_s);
    case RunResult::Outcome::InvalidKind:
        return Text(language, Id::kInvalidKind, u"not a coder or decoder run"_s);
    case RunResult::Outcome::Stopped:
        break;
    }
    return Text(language, Id::kStopped, u"stopped"_s);
}

QString Failure(const RunResult& run, const QString& file, const CLanguagePack& language)
{
    return file + u": "_s + FailureReason(run, language);
}

QString FailureReason(const RunResult& run, const CLanguagePack& language)
{
    QString line = ProgramOf(run, language) + u": "_s + Outcome(run, language);
    const QString said = run.LastErrorLine();
    if (!said.isEmpty())
        line += u": \u201C"_s + said + u"\u201D"_s;
    return line;
}

void LogFailure(const RunResult& run, const QString& file, const CLanguagePack& language)
{
    ConsoleLog& log = ConsoleLog::Instance();
    log.Append(FileNamePart(run.executable) + u" \""_s + file + u"\": "_s + Outcome(run, language));
    if (run.errorOutput.isEmpty())
        return;
    for (const QString& line : run.errorOutput.split(u'\n'))
        log.Append(u"    "_s + line);
}

} // namespace RunReport
