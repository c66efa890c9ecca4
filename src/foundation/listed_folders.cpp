#include "foundation/listed_folders.h"

#include "foundation/os.h"

#include <QDir>

using namespace Qt::StringLiterals;

void CListedFolders::Keep(const QString& folder, QList<QByteArray> names)
{
    kept.insert(Key(folder), std::move(names));
}

QList<QByteArray> CListedFolders::NamesIn(const QString& folder) const
{
    if (!kept.isEmpty()) {
        if (const auto found = kept.constFind(Key(folder)); found != kept.cend())
            return *found;
    }
    return os::FolderNames(folder);
}

QString CListedFolders::Key(const QString& folder)
{
    // One folder, however it was spelled: absolute, without doubled or trailing separators.
    QString key =
        folder.startsWith(os::kPathSeparator) ? folder : QDir::current().absoluteFilePath(folder);
    while (key.contains(u"//"_s))
        key.replace(u"//"_s, u"/"_s);
    if (key.size() > 1 && key.endsWith(os::kPathSeparator))
        key.chop(1);
    return key;
}
