#include "extensions/language_catalogue.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <algorithm>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

// A string id or menu id key: a decimal number that fits a 16-bit resource id.
std::optional<int> ResourceId(const QString& key)
{
    bool ok = false;
    const uint id = key.toUInt(&ok, 10);
    if (!ok || id > 0xFFFF)
        return std::nullopt;
    return int(id);
}

// Malformed items are left out rather than failing the whole pack.
LanguageMenu ParseMenuItems(const QJsonArray& array)
{
    LanguageMenu items;
    for (const QJsonValue& value : array) {
        const QJsonObject object = value.toObject();
        if (object.value(u"separator"_s).toBool()) {
            items.push_back(LanguageMenuItem::Separator());
            continue;
        }
        const QString text = object.value(u"text"_s).toString();
        if (object.value(u"items"_s).isArray()) {
            items.push_back(
                LanguageMenuItem::Popup(text, ParseMenuItems(object.value(u"items"_s).toArray())));
            continue;
        }
        const QJsonValue command = object.value(u"command"_s);
        if (command.isDouble() && command.toInteger(-1) > 0)
            items.push_back(LanguageMenuItem::Command(text, int(command.toInteger())));
    }
    return items;
}

} // namespace

CLanguageCatalogue::CLanguageCatalogue() : OrvelLanguageModule{&CLanguageCatalogue::ReadString}
{
}

std::unique_ptr<CLanguageCatalogue> CLanguageCatalogue::Load(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = u"%1: %2"_s.arg(path, file.errorString());
        return nullptr;
    }
    const QByteArray json = file.read(kMaxFileSize + 1);
    if (json.size() > kMaxFileSize) {
        *error = u"%1: the file is too large for a language pack"_s.arg(path);
        return nullptr;
    }
    std::unique_ptr<CLanguageCatalogue> catalogue(new CLanguageCatalogue);
    QString reason;
    if (!catalogue->Parse(json, &reason)) {
        *error = u"%1: %2"_s.arg(path, reason);
        return nullptr;
    }
    return catalogue;
}

bool CLanguageCatalogue::Parse(const QByteArray& json, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        *error = u"%1 at offset %2"_s.arg(parseError.errorString()).arg(parseError.offset);
        return false;
    }
    const QJsonValue stringTable = document.object().value(u"strings"_s);
    if (!document.isObject() || !stringTable.isObject()) {
        *error = u"not a language pack (no string table)"_s;
        return false;
    }
    const QJsonObject stringObject = stringTable.toObject();
    for (auto it = stringObject.begin(); it != stringObject.end(); ++it) {
        const std::optional<int> id = ResourceId(it.key());
        if (id && it.value().isString())
            strings.insert(*id, it.value().toString().left(kStringBufferSize - 1));
    }
    const QJsonObject menuObject = document.object().value(u"menus"_s).toObject();
    for (auto it = menuObject.begin(); it != menuObject.end(); ++it) {
        const std::optional<int> id = ResourceId(it.key());
        if (id && it.value().isArray())
            menus.insert(*id, ParseMenuItems(it.value().toArray()));
    }
    return true;
}

std::optional<LanguageMenu> CLanguageCatalogue::Menu(int menuId) const
{
    const auto it = menus.constFind(menuId);
    if (it == menus.constEnd())
        return std::nullopt;
    return *it;
}

int CLanguageCatalogue::ReadString(const OrvelLanguageModule* module, int id, char16_t* buffer,
                                   int size)
{
    if (!module || !buffer || size <= 0)
        return 0;
    const QString text = static_cast<const CLanguageCatalogue*>(module)->String(id);
    const int length = std::min(int(text.size()), size - 1);
    std::memcpy(buffer, text.utf16(), size_t(length) * sizeof(char16_t));
    buffer[length] = u'\0';
    return length;
}
