#include "foundation/path_helpers.h"

#include "foundation/os.h"

#include <QFileInfo>
#include <QStringDecoder>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace {

constexpr QChar kSeparator = os::kPathSeparator;
constexpr QChar kQuote = u'"';
constexpr QChar kPercent = u'%';

void Unquote(QString& path)
{
    if (path.startsWith(kQuote) && path.endsWith(kQuote))
        path = path.size() < 2 ? QString() : path.mid(1, path.size() - 2);
}

// %NAME% becomes the variable's value; a reference to a variable that is not set, "%%" and a
// lone "%" are copied as written.
void ExpandEnvironmentReferences(QString& path)
{
    if (!path.contains(kPercent))
        return;
    QString expanded;
    expanded.reserve(path.size());
    qsizetype position = 0;
    while (position < path.size()) {
        const qsizetype open = path.indexOf(kPercent, position);
        const qsizetype close = open < 0 ? -1 : path.indexOf(kPercent, open + 1);
        if (close < 0) {
            expanded += QStringView(path).mid(position);
            break;
        }
        expanded += QStringView(path).mid(position, open - position);
        const QByteArray name = path.mid(open + 1, close - open - 1).toUtf8();
        if (!name.isEmpty() && qEnvironmentVariableIsSet(name.constData()))
            expanded += qEnvironmentVariable(name.constData());
        else
            expanded += QStringView(path).mid(open, close - open + 1);
        position = close + 1;
    }
    path = expanded;
}

// Drops "." components and lets ".." remove the component before it, never above the root.
// A relative path keeps the ".." components it cannot resolve, so it still names the same file.
void Canonicalise(QString& path)
{
    constexpr QChar kDotAfterSeparator[] = {kSeparator, u'.'};
    if (!path.contains(QStringView(kDotAfterSeparator, 2)))
        return;
    const bool absolute = path.startsWith(kSeparator);
    const QStringList parts = path.split(kSeparator);
    QStringList kept;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const QString& part = parts[i];
        if (part == u"."_s)
            continue;
        if (part != u".."_s) {
            kept.append(part);
            continue;
        }
        const bool atRoot = absolute && kept.size() <= 1;
        if (atRoot)
            continue;
        if (!kept.isEmpty() && kept.last() != u".."_s)
            kept.removeLast();
        else
            kept.append(part);
    }
    path = kept.join(kSeparator);
    if (absolute && path.isEmpty())
        path = kSeparator;
}

// Where the extension starts: the last "." with no separator and no blank after it.
qsizetype ExtensionDot(const QString& path)
{
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        const QChar c = path[i];
        if (c == u'.')
            return i;
        if (c == kSeparator || c == u' ')
            return -1;
    }
    return -1;
}

} // namespace

void CleanPath(QString& path)
{
    path = TrimWhiteSpace(path);
    Unquote(path);
    path = TrimWhiteSpace(path);
    Canonicalise(path);
    // The "\\?\" long-path prefix means nothing here, so it is never stripped.
}

QString CleanedPath(const QString& source)
{
    QString path = source;
    CleanPath(path);
    return path;
}

QString CleanedSettingPath(const QString& source)
{
    QString path = TrimWhiteSpace(source);
    Unquote(path);
    path = TrimWhiteSpace(path);
    ExpandEnvironmentReferences(path);
    Canonicalise(path);
    return path;
}

// An empty path stays empty: turning it into the root folder would be a surprise.
void AddBackslash(QString& path)
{
    if (!path.isEmpty() && !path.endsWith(kSeparator))
        path += kSeparator;
}

QString AppendPath(const QString& path, const QString& part)
{
    QString joined = path;
    if (part.isEmpty()) {
        AddBackslash(joined);
        return joined;
    }
    if (joined.isEmpty())
        return part;
    while (joined.endsWith(kSeparator))
        joined.chop(1);
    qsizetype skip = 0;
    while (skip < part.size() && part[skip] == kSeparator)
        ++skip;
    return joined + kSeparator + part.mid(skip);
}

QString FileNamePart(const QString& path)
{
    return path.mid(path.lastIndexOf(kSeparator) + 1);
}

QString ExtensionPart(const QString& path)
{
    const qsizetype dot = ExtensionDot(path);
    return dot < 0 ? QString() : path.mid(dot + 1);
}

// An empty extension adds nothing (not even a lone dot).
void AddExtension(QString& path, const QString& extension)
{
    if (extension.isEmpty() || ExtensionDot(path) >= 0)
        return;
    if (!extension.startsWith(u'.'))
        path += u'.';
    path += extension;
}

void RemoveExtension(QString& path)
{
    const qsizetype dot = ExtensionDot(path);
    if (dot >= 0)
        path.truncate(dot);
}

void RenameExtension(QString& path, const QString& extension)
{
    RemoveExtension(path);
    if (extension.startsWith(u'.'))
        path += extension;
    else
        AddExtension(path, extension);
}

void RemoveFileSpec(QString& path)
{
    const qsizetype separator = path.lastIndexOf(kSeparator);
    if (separator < 0)
        path.clear();
    else
        path.truncate(separator == 0 ? 1 : separator); // the root's separator stays
}

bool PathExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString NarrowToWide(const QByteArray& narrow)
{
    // QString::fromUtf8 drops a leading U+FEFF; here it is text like any other (a line of a
    // playlist that starts with one must come back as it was written).
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom |
                                                     QStringDecoder::Flag::Stateless);
    return decoder(narrow);
}

// UTF-8 holds every character; only an unpaired surrogate cannot be written and becomes U+FFFD.
QByteArray WideToNarrow(const QString& wide, bool* dataLost)
{
    QString valid;
    const qsizetype size = wide.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = wide[i];
        const bool pairStart = c.isHighSurrogate() && i + 1 < size && wide[i + 1].isLowSurrogate();
        if (pairStart) {
            ++i;
            continue;
        }
        if (!c.isSurrogate())
            continue;
        if (valid.isNull())
            valid = wide;
        valid[i] = QChar::ReplacementCharacter;
        if (dataLost != nullptr)
            *dataLost = true;
    }
    return valid.isNull() ? wide.toUtf8() : valid.toUtf8();
}

QString TrimWhiteSpace(const QString& text)
{
    return text.trimmed();
}

bool LessInListingOrder(const QString& left, const QString& right)
{
    const int folded = left.compare(right, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : left.compare(right, Qt::CaseSensitive) < 0;
}
