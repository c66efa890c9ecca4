#include "codecs/system_program.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// Wrapper scripts are a few lines; anything larger is no wrapper.
constexpr qint64 kMaxScriptSize = 64 * 1024;
constexpr int kVersionTimeoutMs = 3000;

// A plain command word: no quotes, variables or options, so never "$program" or "-f".
bool IsCommandWord(const QString& word)
{
    static const QRegularExpression plain(u"^[A-Za-z0-9_][A-Za-z0-9_.+-]*$"_s);
    return plain.match(word).hasMatch();
}

QString WordAfter(const QString& line, const QString& keyword)
{
    const qsizetype at = line.indexOf(keyword);
    if (at < 0 || (at > 0 && !line[at - 1].isSpace() && line[at - 1] != u'(')) {
        return {};
    }
    const QString word = line.mid(at + keyword.size()).trimmed().section(u' ', 0, 0);
    return IsCommandWord(word.section(u')', 0, 0)) ? word.section(u')', 0, 0) : QString();
}

QString VersionIn(const QString& text)
{
    static const QRegularExpression number(u"(?<![\\w.])\\d+(?:\\.\\d+)+"_s);
    return number.match(text).captured(0);
}

} // namespace

QString WrappedProgramName(const QString& scriptPath)
{
    QFile script(scriptPath);
    if (!script.open(QIODevice::ReadOnly) || script.size() > kMaxScriptSize ||
        script.peek(2) != "#!") {
        return {};
    }
    QString execWord;
    const QStringList lines = QString::fromUtf8(script.readAll()).split(u'\n');
    for (const QString& line : lines) {
        if (line.trimmed().startsWith(u'#')) {
            continue;
        }
        if (const QString word = WordAfter(line, u"command -v "_s); !word.isEmpty()) {
            return word;
        }
        if (execWord.isEmpty()) {
            execWord = WordAfter(line, u"exec "_s);
        }
    }
    return execWord;
}

QList<SystemProgram> FindSystemPrograms(const QStringList& names)
{
    QList<SystemProgram> programs;
    std::vector<std::unique_ptr<QProcess>> runs;
    for (const QString& name : names) {
        programs.append({name, QStandardPaths::findExecutable(name), {}});
        auto run = std::make_unique<QProcess>();
        if (programs.back().IsInstalled()) {
            run->setProcessChannelMode(QProcess::MergedChannels);
            run->setStandardInputFile(QProcess::nullDevice());
            run->start(programs.back().path, {u"--version"_s});
        }
        runs.push_back(std::move(run));
    }
    const QDeadlineTimer deadline(kVersionTimeoutMs);
    for (qsizetype i = 0; i < programs.size(); ++i) {
        QProcess& run = *runs[size_t(i)];
        if (!programs[i].IsInstalled())
            continue;
        if (!run.waitForFinished(int(std::max<qint64>(0, deadline.remainingTime())))) {
            run.kill();
            run.waitForFinished();
            continue;
        }
        programs[i].version = VersionIn(QString::fromUtf8(run.readAll()));
    }
    return programs;
}
