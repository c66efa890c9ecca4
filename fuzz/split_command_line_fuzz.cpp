// The argument splitter and quoting: any text splits without harm, and quoting any argument,
// or any list of them, splits back to exactly what was quoted.
#include "foundation/command_line.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = FuzzText(data, size);

    const QStringList split = SplitCommandLine(text);
    for (const QString& argument : split) {
        if (argument.contains(u'"') && !text.contains(u'"'))
            FuzzFail("a quote appeared from nowhere", text);
    }

    const QStringList single = SplitCommandLine(QuoteArgument(text));
    if (single != QStringList{text})
        FuzzFail("split(quote(x)) is not [x]", text + u" -> "_s + Describe(single));

    // Pieces separated by NUL, quoted and joined with a blank, come back as those pieces.
    const QStringList pieces = text.split(QChar(0));
    QStringList quoted;
    for (const QString& piece : pieces)
        quoted.append(QuoteArgument(piece));
    const QStringList back = SplitCommandLine(quoted.join(u' '));
    if (back != pieces)
        FuzzFail("quoted pieces do not split back", Describe(pieces) + u" -> "_s + Describe(back));

    // Re-quoting what a split gave is stable.
    QStringList requoted;
    for (const QString& argument : split)
        requoted.append(QuoteArgument(argument));
    if (SplitCommandLine(requoted.join(u'\t')) != split)
        FuzzFail("re-quoting a split changes it", text);
    return 0;
}
