// ExpandTemplate: a failed expansion leaves the result alone, and a successful one hands each
// path to the program as the text around it plus exactly the path, whatever the path holds.
#include "codecs/command_template.h"
#include "foundation/command_line.h"
#include "fuzz_support.h"

using namespace Qt::StringLiterals;

namespace {

constexpr QChar kInMarker = QChar(0xE000);
constexpr QChar kOutMarker = QChar(0xE001);

QString WithoutMarkers(QString text)
{
    return text.remove(kInMarker).remove(kOutMarker);
}

// The template with its path placeholders, token by token as the expansion sees them,
// replaced by markers.
QString MarkPaths(const QString& commandTemplate)
{
    QString marked;
    qsizetype position = 0;
    while (position < commandTemplate.size()) {
        const qsizetype open = commandTemplate.indexOf(u'%', position);
        const qsizetype close = open < 0 ? -1 : commandTemplate.indexOf(u'%', open + 1);
        if (close < 0) {
            marked += commandTemplate.mid(position);
            break;
        }
        marked += commandTemplate.mid(position, open - position);
        const QString token = commandTemplate.mid(open, close - open + 1);
        if (token == u"%in%"_s)
            marked += kInMarker;
        else if (token == u"%out%"_s)
            marked += kOutMarker;
        else
            marked += token;
        position = close + 1;
    }
    return marked;
}

bool IsPathMarker(QChar c)
{
    return c == kInMarker || c == kOutMarker;
}

bool HasGluedPaths(const QString& marked)
{
    for (qsizetype i = 1; i < marked.size(); ++i) {
        if (IsPathMarker(marked[i - 1]) && IsPathMarker(marked[i]))
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // template NUL input NUL output NUL sample rate
    const QStringList parts = FuzzText(data, size).split(QChar(0));
    const QString commandTemplate = WithoutMarkers(parts.value(0));
    TemplateValues values;
    values.inputPath = WithoutMarkers(parts.value(1));
    values.outputPath = WithoutMarkers(parts.value(2));
    values.sampleRate = parts.value(3).toInt();

    const QString sentinel = u"unchanged"_s;
    QString result = sentinel;
    const bool expanded = ExpandTemplate(commandTemplate, result, values);
    if (!expanded) {
        if (result != sentinel)
            FuzzFail("a failed expansion changed the result", commandTemplate);
        return 0;
    }

    // Where the template's own text holds no quote or backslash, the arguments are the
    // template's with each placeholder replaced by its value, verbatim.
    if (commandTemplate.contains(u'"') || commandTemplate.contains(u'\\'))
        return 0;
    const QString marked = MarkPaths(commandTemplate);
    // Two quoted paths glued together read as one quoted region with a literal quote where they
    // meet (the runtime's "" rule), so such a template has no verbatim reading to check.
    if (HasGluedPaths(marked))
        return 0;
    QString markedResult;
    TemplateValues rates = values;
    rates.inputPath.clear();
    rates.outputPath.clear();
    if (!ExpandTemplate(marked, markedResult, rates))
        FuzzFail("only the path placeholders were taken out, yet expansion failed", marked);
    QStringList expected = SplitCommandLine(markedResult);
    for (QString& argument : expected)
        argument.replace(kInMarker, values.inputPath).replace(kOutMarker, values.outputPath);
    const QStringList actual = SplitCommandLine(result);
    if (actual != expected)
        FuzzFail("a path did not arrive as itself",
                 result + u" -> "_s + Describe(actual) + u" expected "_s + Describe(expected));
    return 0;
}
