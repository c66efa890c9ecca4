// CNamePattern: any pattern and any tag values give either a reported fault or a relative path
// whose every component is safe to create below the output folder.
#include "fuzz_support.h"
#include "planning/name_pattern.h"

#include <QRegularExpression>

namespace {

void CheckComponent(const QString& component, const QString& path)
{
    if (component.isEmpty())
        FuzzFail("an empty component", path);
    if (component.startsWith(u'.') || component.startsWith(u'-') || component.endsWith(u'.') ||
        component.endsWith(u' '))
        FuzzFail("a component with an unsafe end", path);
    if (component.toUtf8().size() > 255)
        FuzzFail("a component longer than 255 bytes", path);
    for (const QChar c : component) {
        if (c == u'\0' || c.category() == QChar::Other_Control)
            FuzzFail("a control character", path);
    }
}

} // namespace

// The input is the pattern, then the values of the text fields, separated by the code unit 1.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QStringList parts = FuzzText(data, size).split(QChar(1));
    const CNamePattern pattern(parts.value(0));
    if (!pattern.IsValid()) {
        if (pattern.Error().isEmpty())
            FuzzFail("a fault without its reason", parts.value(0));
        return 0;
    }
    NameFields fields;
    fields.tags = {parts.value(1),
                   parts.value(2),
                   parts.value(3),
                   parts.value(4),
                   parts.value(5),
                   parts.value(6),
                   int(parts.value(7).size()),
                   int(size % 1000),
                   int(size % 7)};
    fields.fileName = parts.value(8, u"source"_s);
    fields.folderName = parts.value(9);
    for (const bool fatSafe : {false, true}) {
        const QString path = pattern.ResultPath(fields, u"mp3"_s, fatSafe);
        if (pattern.IsEmpty() != path.isEmpty())
            FuzzFail("a path for an empty pattern, or none for another", path);
        if (path.isEmpty())
            continue;
        for (const QString& component : path.split(u'/'))
            CheckComponent(component, path);
        if (!path.endsWith(u".mp3"_s))
            FuzzFail("the extension lost", path);
        if (fatSafe && path.contains(QRegularExpression(u"[\"*:<>?\\\\|]"_s)))
            FuzzFail("a character FAT refuses", path);
    }
    return 0;
}
