// Build tool: writes a manual page from a program's --help text and one section of the user
// manual, so the page follows both without a third copy to keep in step.
// Usage: man_page OUTPUT NAME SUMMARY SOURCE MANUAL.md HEADING SEE_ALSO -- COMMAND [ARGS...]
// COMMAND prints the help text; SOURCE names the package and version for the page's footer.
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextList>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

constexpr int kHelpTimeoutMs = 30000;

int Fail(const QString& message)
{
    std::fprintf(stderr, "man_page: %s\n", qUtf8Printable(message));
    return 1;
}

// Backslashes are roff's escape; a line starting with "." or "'" would be a request.
QString EscapeText(QString text)
{
    text.replace(u'\\', u"\\e"_s);
    text.replace(QChar::LineSeparator, u' ');
    text.replace(QChar::Nbsp, u"\\ "_s);
    return text;
}

// In code every "-" is a minus (typed, copied), not a hyphen.
QString EscapeCode(const QString& text)
{
    return EscapeText(text).replace(u'-', u"\\-"_s);
}

// Prose keeps its hyphens; words that start with "-" are options and get minus signs.
QString EscapeProse(const QString& text)
{
    static const QRegularExpression option(uR"((^|[\s(\[/])(-[-\w=]*))"_s);
    QString escaped = EscapeText(text);
    QString result;
    qsizetype last = 0;
    for (auto it = option.globalMatch(escaped); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        result += escaped.mid(last, match.capturedStart(2) - last);
        result += match.captured(2).replace(u'-', u"\\-"_s);
        last = match.capturedEnd(2);
    }
    return result + escaped.mid(last);
}

QString ProtectLineStart(const QString& line)
{
    return line.startsWith(u'.') || line.startsWith(u'\'') ? u"\\&"_s + line : line;
}

// "-h, --help" or "--coder NAME": the options in bold, their arguments in italics.
QString OptionTerm(const QString& term)
{
    QStringList words = term.split(u' ');
    for (QString& word : words)
        word = (word.startsWith(u'-') ? u"\\fB"_s : u"\\fI"_s) + EscapeCode(word) + u"\\fR"_s;
    return ProtectLineStart(words.join(u' '));
}

// The help text: a "Usage:" line, paragraphs, option lines ("  --name ARG   what it does",
// continued on more deeply indented lines) and headings ("Safety:") between them.
struct CHelpPage
{
    QStringList synopsis;    // one form of the command a line
    QStringList description; // roff, the paragraphs before the first option
    QStringList options;     // roff, the options and everything after them
};

CHelpPage ParseHelp(const QString& name, const QString& help)
{
    static const QRegularExpression optionLine(uR"(^ {1,8}(-\S.*?)(?: {2,}(\S.*))?$)"_s);
    CHelpPage page;
    QStringList* target = &page.description;
    QString paragraph;
    auto flush = [&] {
        if (!paragraph.isEmpty())
            *target << u".PP"_s << ProtectLineStart(EscapeProse(paragraph));
        paragraph.clear();
    };
    bool inOption = false;
    for (const QString& line : help.split(u'\n')) {
        const QRegularExpressionMatch option = optionLine.match(line);
        if (line.startsWith(u"Usage: "_s + name)) {
            page.synopsis << line.mid(7 + name.size()).trimmed();
        } else if (!page.synopsis.isEmpty() && page.description.isEmpty() && paragraph.isEmpty() &&
                   line.trimmed().startsWith(name + u' ')) {
            // The command's other forms, lined up under the first.
            page.synopsis << line.trimmed().mid(name.size()).trimmed();
        } else if (line.trimmed().isEmpty()) {
            flush();
            inOption = false;
        } else if (option.hasMatch()) {
            flush();
            target = &page.options;
            *target << u".TP"_s << OptionTerm(option.captured(1));
            if (!option.captured(2).isEmpty())
                *target << ProtectLineStart(EscapeProse(option.captured(2)));
            inOption = true;
        } else if (inOption && line.startsWith(u"   "_s)) {
            *target << ProtectLineStart(EscapeProse(line.trimmed()));
        } else if (paragraph.isEmpty() && !line.startsWith(u' ') && line.endsWith(u':') &&
                   target == &page.options) {
            flush();
            *target << u".SS "_s + EscapeProse(line.chopped(1));
            inOption = false;
        } else {
            paragraph += (paragraph.isEmpty() ? QString() : u" "_s) + line.trimmed();
            inOption = false;
        }
    }
    flush();
    return page;
}

// One block of the manual's Markdown as roff inline text: code in bold, emphasis in italics.
QString InlineText(const QTextBlock& block)
{
    QString line;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const QTextCharFormat format = fragment.charFormat();
        const QString text = fragment.text();
        if (format.fontFixedPitch())
            line += u"\\fB\\%"_s + EscapeCode(text).replace(u' ', u"\\ "_s) + u"\\fR"_s;
        else if (format.fontWeight() > QFont::Normal)
            line += u"\\fB"_s + EscapeProse(text) + u"\\fR"_s;
        else if (format.fontItalic())
            line += u"\\fI"_s + EscapeProse(text) + u"\\fR"_s;
        else
            line += EscapeProse(text);
    }
    return ProtectLineStart(line.trimmed());
}

bool IsCode(const QTextBlock& block)
{
    return block.blockFormat().hasProperty(QTextFormat::BlockCodeFence) ||
           block.blockFormat().nonBreakableLines();
}

// The manual's section under HEADING, up to the next heading of its level or above.
bool ManualSection(const QString& markdown, const QString& heading, QStringList& roff)
{
    QTextDocument document;
    document.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
    QTextBlock block = document.begin();
    while (block.isValid() && (block.blockFormat().headingLevel() == 0 || block.text() != heading))
        block = block.next();
    if (!block.isValid())
        return false;
    const int level = block.blockFormat().headingLevel();
    for (block = block.next(); block.isValid(); block = block.next()) {
        const int blockLevel = block.blockFormat().headingLevel();
        if (blockLevel > 0 && blockLevel <= level)
            break;
        if (blockLevel > 0) {
            roff << u".SS "_s + EscapeProse(block.text());
        } else if (IsCode(block)) {
            roff << u".PP"_s << u".RS 4"_s << u".nf"_s;
            for (; block.isValid() && IsCode(block); block = block.next()) {
                for (const QString& line : block.text().split(QChar::LineSeparator))
                    roff << ProtectLineStart(EscapeCode(line));
            }
            block = block.previous();
            roff << u".fi"_s << u".RE"_s;
        } else if (block.textList() != nullptr) {
            roff << u".IP \\(bu 2"_s << InlineText(block);
        } else if (!block.text().trimmed().isEmpty()) {
            roff << u".PP"_s << InlineText(block);
        }
    }
    return true;
}

QString ReadFile(const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = u"cannot read %1: %2"_s.arg(path, file.errorString());
        return {};
    }
    return QString::fromUtf8(file.readAll());
}

QString RunForHelp(const QStringList& command, QString& error)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(command.first(), command.mid(1));
    if (!process.waitForFinished(kHelpTimeoutMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        error = u"%1 did not print its help: %2"_s.arg(command.join(u' '), process.errorString());
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype dashes = args.indexOf(u"--"_s);
    if (dashes != 8 || args.size() < 10)
        return Fail(u"usage: man_page OUTPUT NAME SUMMARY SOURCE MANUAL.md HEADING SEE_ALSO -- "
                    u"COMMAND [ARGS...]"_s);
    const QString& name = args[2];
    QString error;
    const QString help = RunForHelp(args.mid(9), error);
    const QString markdown = error.isEmpty() ? ReadFile(args[5], error) : QString();
    if (!error.isEmpty())
        return Fail(error);

    const CHelpPage page = ParseHelp(name, help);
    QStringList manual;
    if (!ManualSection(markdown, args[6], manual))
        return Fail(u"the manual has no section \"%1\""_s.arg(args[6]));

    QStringList roff;
    roff << u".\\\" Generated from \"%1 --help\" and the user manual; edit those."_s.arg(name)
         << u".TH \"%1\" 1 \"\" \"%2\" \"User Commands\""_s.arg(EscapeCode(name.toUpper()),
                                                                EscapeText(args[4]))
         << u".SH NAME"_s << EscapeCode(name) + u" \\- "_s + EscapeProse(args[3])
         << u".SH SYNOPSIS"_s;
    for (qsizetype i = 0; i < page.synopsis.size(); ++i) {
        if (i > 0)
            roff << u".br"_s;
        roff << u".B "_s + EscapeCode(name) << ProtectLineStart(EscapeProse(page.synopsis.at(i)));
    }
    roff << u".SH DESCRIPTION"_s << page.description << manual;
    if (!page.options.isEmpty())
        roff << u".SH OPTIONS"_s << page.options;
    roff << u".SH SEE ALSO"_s << ProtectLineStart(EscapeProse(args[7]));

    QSaveFile output(args[1]);
    if (!output.open(QIODevice::WriteOnly) || output.write(roff.join(u'\n').toUtf8() + '\n') < 0 ||
        !output.commit())
        return Fail(u"cannot write %1: %2"_s.arg(args[1], output.errorString()));
    return 0;
}
