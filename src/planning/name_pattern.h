#pragma once

#include "tags/source_tags.h"

#include <QString>
#include <QStringList>
#include <vector>

// What a name pattern is filled from: the source's tags, its file name without the extension
// and the name of the folder that holds it.
struct NameFields
{
    SourceTags tags;
    QString fileName;
    QString folderName;
};

// A result name built from tags, as "<albumartist>/<album>/[<disc>-]<track> - <title>":
// fields in angle brackets (<track:3> sets the width of a number), literal text, "/" between
// folders, and optional parts in square brackets that drop out when a field in them is empty.
// Names it gives are always below the output folder and safe to create: a field's value never
// makes a folder, no component starts with "." or "-" or ends with a dot or space, control
// characters go, and each component fits 255 bytes of UTF-8.
class CNamePattern
{
public:
    CNamePattern() = default;
    explicit CNamePattern(const QString& text);

    bool IsEmpty() const { return nodes.empty() && error.isEmpty(); }
    bool IsValid() const { return error.isEmpty(); }
    // Why the pattern is not valid, in English, with the position it was found at.
    QString Error() const { return error; }

    // The result's path relative to its output folder, folders separated by "/", ending in the
    // file name with the extension (given with or without its dot). With fatSafe, characters
    // that FAT and exFAT refuse are replaced too. Empty for an empty or invalid pattern.
    QString ResultPath(const NameFields& fields, const QString& extension, bool fatSafe) const;

    // Whether the pattern's own text holds a "/", in an optional part too: its names then make
    // folders below the output folder, which a kept folder structure must not repeat.
    bool MakesFolders() const;

    // The field names the pattern language knows, without brackets.
    static QStringList FieldNames();

    struct Node;

private:
    std::vector<Node> nodes;
    QString error;
};

struct CNamePattern::Node
{
    enum class Kind
    {
        Text,
        Field,
        Optional,
    };
    Kind kind = Kind::Text;
    QString text; // the literal text, or the field's name
    int width = 0;
    std::vector<Node> children;
};

// One path component made safe: control characters removed, leading dots, dashes and spaces
// and trailing dots and spaces dropped, with fatSafe the FAT and exFAT refusals replaced by
// "_" (and "_" put after a name Windows keeps for a device, such as "Aux"), and cut at a
// character boundary so that it and the extension fit 255 bytes of UTF-8.
QString SafeNameComponent(const QString& name, bool fatSafe, const QString& extension = {});
