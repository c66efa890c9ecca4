#include "planning/name_pattern.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

constexpr qsizetype kComponentBytes = 255;
constexpr int kDefaultNumberWidth = 2;
constexpr int kWidestNumber = 9;
// What a field's value puts in place of a folder separator or a refused character.
constexpr char16_t kReplacement = u'_';

const QStringList& KnownFields()
{
    static const QStringList fields = {
        u"artist"_s, u"albumartist"_s, u"album"_s,    u"title"_s,    u"track"_s,  u"disc"_s,
        u"year"_s,   u"genre"_s,       u"composer"_s, u"filename"_s, u"folder"_s,
    };
    return fields;
}

bool IsNumberField(const QString& name)
{
    return name == u"track"_s || name == u"disc"_s;
}

QString Number(int value, int width)
{
    return value > 0 ? u"%1"_s.arg(value, width, 10, QChar(u'0')) : QString();
}

QString FieldValue(const QString& name, int width, const NameFields& fields)
{
    const SourceTags& tags = fields.tags;
    if (name == u"artist"_s)
        return tags.artist;
    if (name == u"albumartist"_s)
        return tags.albumArtist.isEmpty() ? tags.artist : tags.albumArtist;
    if (name == u"album"_s)
        return tags.album;
    if (name == u"title"_s)
        return tags.title.isEmpty() ? fields.fileName : tags.title;
    if (name == u"track"_s)
        return Number(tags.track, width);
    if (name == u"disc"_s)
        return Number(tags.disc, width);
    if (name == u"year"_s)
        return tags.year > 0 ? QString::number(tags.year) : QString();
    if (name == u"genre"_s)
        return tags.genre;
    if (name == u"composer"_s)
        return tags.composer;
    if (name == u"filename"_s)
        return fields.fileName;
    return fields.folderName;
}

// A value stays inside its component: separators and NUL become the replacement.
QString ValueInComponent(QString value)
{
    for (QChar& c : value) {
        if (c == u'/' || c == u'\0')
            c = kReplacement;
    }
    return value;
}

class CParser
{
public:
    explicit CParser(const QString& source) : text(source) {}

    // Parses up to the end, or, for an optional part, up to the "]" that closes it.
    bool Parse(std::vector<CNamePattern::Node>& nodes, bool optional)
    {
        const qsizetype opened = at - 1;
        QString literal;
        auto flush = [&] {
            if (!literal.isEmpty())
                nodes.push_back({CNamePattern::Node::Kind::Text, literal, 0, {}});
            literal.clear();
        };
        while (at < text.size()) {
            const QChar c = text.at(at);
            if (c == u']') {
                if (!optional)
                    return Fail(u"\"]\" without \"[\""_s, at);
                ++at;
                flush();
                return true;
            }
            if (c == u'[') {
                flush();
                ++at;
                CNamePattern::Node part{CNamePattern::Node::Kind::Optional, {}, 0, {}};
                if (!Parse(part.children, true))
                    return false;
                nodes.push_back(std::move(part));
                continue;
            }
            if (c == u'<') {
                flush();
                CNamePattern::Node field;
                if (!ParseField(field))
                    return false;
                nodes.push_back(std::move(field));
                continue;
            }
            literal += c;
            ++at;
        }
        if (optional)
            return Fail(u"\"[\" is not closed"_s, opened);
        flush();
        return true;
    }

    QString error;

private:
    bool ParseField(CNamePattern::Node& node)
    {
        const qsizetype close = text.indexOf(u'>', at);
        if (close < 0)
            return Fail(u"\"<\" is not closed"_s, at);
        QString name = text.mid(at + 1, close - at - 1).trimmed().toLower();
        int width = kDefaultNumberWidth;
        if (const qsizetype colon = name.indexOf(u':'); colon >= 0) {
            bool number = false;
            width = name.mid(colon + 1).toInt(&number);
            name.truncate(colon);
            if (!number || width < 1 || width > kWidestNumber || !IsNumberField(name))
                return Fail(u"only <track:N> and <disc:N> take a width, N from 1 to 9"_s, at);
        }
        if (!KnownFields().contains(name))
            return Fail(u"unknown field <%1>"_s.arg(name), at);
        node = {CNamePattern::Node::Kind::Field, name, width, {}};
        at = close + 1;
        return true;
    }

    bool Fail(const QString& why, qsizetype where)
    {
        error = u"%1 at character %2"_s.arg(why).arg(where + 1);
        return false;
    }

    const QString& text;
    qsizetype at = 0;
};

// Appends the nodes' text; false when a field among them (not in a nested optional part)
// is empty, which drops the optional part that holds them.
bool Expand(const std::vector<CNamePattern::Node>& nodes, const NameFields& fields, QString& out)
{
    bool complete = true;
    for (const CNamePattern::Node& node : nodes) {
        switch (node.kind) {
        case CNamePattern::Node::Kind::Text:
            out += node.text;
            break;
        case CNamePattern::Node::Kind::Field: {
            const QString value = FieldValue(node.text, node.width, fields).trimmed();
            complete = complete && !value.isEmpty();
            out += ValueInComponent(value);
            break;
        }
        case CNamePattern::Node::Kind::Optional: {
            QString part;
            if (Expand(node.children, fields, part))
                out += part;
            break;
        }
        }
    }
    return complete;
}

bool IsFatRefused(QChar c)
{
    return QStringView(u"\"*:<>?\\|").contains(c);
}

// Names Windows keeps for its devices, whatever follows their first dot: a card written here
// with "Aux.mp3" on it would show a file that no program there can open.
bool IsDeviceName(const QString& name)
{
    const QString stem = name.section(u'.', 0, 0).trimmed().toUpper();
    static const QRegularExpression devices(u"^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])$"_s);
    return devices.match(stem).hasMatch();
}

qsizetype Utf8Bytes(char32_t codePoint)
{
    return codePoint < 0x80 ? 1 : codePoint < 0x800 ? 2 : codePoint < 0x10000 ? 3 : 4;
}

// The longest start of the text, by whole characters, that fits the bytes.
QString CutToBytes(const QString& text, qsizetype bytes)
{
    qsizetype used = 0;
    qsizetype end = 0;
    while (end < text.size()) {
        const bool pair = text.at(end).isHighSurrogate() && end + 1 < text.size() &&
                          text.at(end + 1).isLowSurrogate();
        const char32_t code =
            pair ? QChar::surrogateToUcs4(text.at(end), text.at(end + 1)) : text.at(end).unicode();
        used += Utf8Bytes(code);
        if (used > bytes)
            break;
        end += pair ? 2 : 1;
    }
    return text.left(end);
}

QString TrimEnds(QString name)
{
    qsizetype start = 0;
    while (start < name.size() &&
           (name.at(start) == u'.' || name.at(start) == u'-' || name.at(start).isSpace()))
        ++start;
    qsizetype end = name.size();
    while (end > start && (name.at(end - 1) == u'.' || name.at(end - 1).isSpace()))
        --end;
    return name.mid(start, end - start);
}

} // namespace

CNamePattern::CNamePattern(const QString& text)
{
    CParser parser(text);
    if (!parser.Parse(nodes, false)) {
        nodes.clear();
        error = parser.error;
    }
}

QString CNamePattern::ResultPath(const NameFields& fields, const QString& extension,
                                 bool fatSafe) const
{
    if (nodes.empty() || !IsValid())
        return {};
    QString expanded;
    Expand(nodes, fields, expanded);
    const QString dotted =
        extension.isEmpty() || extension.startsWith(u'.') ? extension : u'.' + extension;

    QStringList components;
    for (const QString& part : expanded.split(u'/'))
        components << SafeNameComponent(part, fatSafe);
    // A file name that came out empty is the source's own.
    QString last = components.takeLast();
    if (last.isEmpty())
        last = ValueInComponent(fields.fileName);
    components.removeAll(QString());
    QString name = SafeNameComponent(last, fatSafe, dotted);
    if (name.isEmpty())
        name = u"_"_s;
    components << name + dotted;
    return components.join(u'/');
}

namespace {

bool AnyTextHoldsSeparator(const std::vector<CNamePattern::Node>& nodes)
{
    for (const CNamePattern::Node& node : nodes) {
        if ((node.kind == CNamePattern::Node::Kind::Text && node.text.contains(u'/')) ||
            AnyTextHoldsSeparator(node.children))
            return true;
    }
    return false;
}

} // namespace

bool CNamePattern::MakesFolders() const
{
    return IsValid() && AnyTextHoldsSeparator(nodes);
}

QStringList CNamePattern::FieldNames()
{
    return KnownFields();
}

QString SafeNameComponent(const QString& name, bool fatSafe, const QString& extension)
{
    QString safe;
    safe.reserve(name.size());
    for (const QChar c : name) {
        if (c.category() == QChar::Other_Control)
            continue;
        safe += fatSafe && IsFatRefused(c) ? QChar(kReplacement) : c;
    }
    safe = TrimEnds(safe);
    if (fatSafe && IsDeviceName(safe + extension))
        safe.insert(safe.indexOf(u'.') < 0 ? safe.size() : safe.indexOf(u'.'), u'_');
    const qsizetype room = kComponentBytes - extension.toUtf8().size();
    if (safe.toUtf8().size() > room)
        safe = TrimEnds(CutToBytes(safe, room));
    return safe;
}
