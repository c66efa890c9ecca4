#include "run/run_result.h"

#include <QRegularExpression>
#include <QStringList>

using namespace Qt::StringLiterals;

QString RunResult::LastErrorLine() const
{
    // Programs say what went wrong in a line of its own, often followed by their state or a
    // hint ("state = ...", "Can't init infile"): the last line that names a failure says more.
    static const QRegularExpression failure(
        u"\\b(error|failed|failure|cannot|could not|unable to|unsupported|invalid)\\b"_s,
        QRegularExpression::CaseInsensitiveOption);
    const QStringList lines = errorOutput.split(u'\n');
    QString lastWords;
    for (qsizetype i = lines.size() - 1; i >= 0; --i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty())
            continue;
        if (line.contains(failure))
            return line;
        if (lastWords.isEmpty())
            lastWords = line;
    }
    return lastWords;
}
