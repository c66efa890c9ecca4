#include "settings/settings_storage.h"

#include "settings/ini_file.h"

#include <algorithm>
#include <charconv>
#include <cstring>

using namespace Qt::StringLiterals;

namespace {

// Buffer sizes of the profile reads, in characters.
constexpr qsizetype kStringBufferMinimum = 1024;
constexpr qsizetype kStringFirstTry = 128;
constexpr qsizetype kNumberBuffer = 260;
constexpr qsizetype kBoolBuffer = 16;

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\v' || c == u'\f' || c == u'\r';
}

qsizetype SkipBlanks(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    return i;
}

// "%d" and "%u": leading blanks, an optional sign, at least one digit; the rest is ignored.
// Digits beyond the range wrap around, as the 32-bit conversion keeps the low bits.
bool ScanInteger(const QString& text, quint32& result)
{
    qsizetype i = SkipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    const qsizetype firstDigit = i;
    quint32 value = 0;
    while (i < text.size() && text[i] >= u'0' && text[i] <= u'9') {
        value = value * 10u + quint32(text[i].unicode() - u'0');
        ++i;
    }
    if (i == firstDigit)
        return false;
    result = negative ? 0u - value : value;
    return true;
}

// "%f" and "%lf": leading blanks, then the longest number the text starts with.
bool ScanDouble(const QString& text, double& result)
{
    const qsizetype start = SkipBlanks(text);
    QByteArray narrow = text.mid(start).toLatin1();
    const char* first = narrow.constData();
    const char* last = first + narrow.size();
    if (first != last && *first == '+' && first + 1 != last && *(first + 1) != '-')
        ++first;
    double value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (end == first)
        return false;
    // Out of range still converts (to infinity or zero), as the C conversion does.
    Q_UNUSED(error);
    result = value;
    return true;
}

QString HexBlock(const void* data, qsizetype byteCount)
{
    const auto* bytes = static_cast<const quint8*>(data);
    quint8 sum = 0;
    QByteArray block;
    for (qsizetype i = 0; i < byteCount; ++i)
        sum = quint8(sum + bytes[i]);
    block = QByteArray(reinterpret_cast<const char*>(bytes), byteCount).toHex().toUpper();
    block += QByteArray(1, char(sum)).toHex().toUpper();
    return QString::fromLatin1(block);
}

int HexDigit(QChar c)
{
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    return -1;
}

// The bytes of a block written by HexBlock; fails on a wrong length, a character that is not
// a hexadecimal digit or a checksum that does not match.
bool ParseHexBlock(const QString& text, QByteArray& bytes)
{
    if (text.size() < 2 || text.size() % 2 != 0)
        return false;
    QByteArray parsed;
    parsed.reserve(text.size() / 2);
    for (qsizetype i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0)
            return false;
        parsed += char(high * 16 + low);
    }
    const quint8 expected = quint8(parsed.back());
    parsed.chop(1);
    quint8 sum = 0;
    for (char byte : std::as_const(parsed))
        sum = quint8(sum + quint8(byte));
    if (sum != expected)
        return false;
    bytes = parsed;
    return true;
}

} // namespace

CSettingsStorage::~CSettingsStorage() = default;

bool CSettingsStorage::ExchangeStdWString(const QString& key, std::wstring& value, bool save)
{
    QString text = QString::fromStdWString(value);
    if (!ExchangeString(key, text, save))
        return false;
    if (!save)
        value = text.toStdWString();
    return true;
}

bool CSettingsStorage::ExchangeStdString(const QString& key, std::string& value, bool save)
{
    QString text = QString::fromLocal8Bit(value.data(), qsizetype(value.size()));
    if (!ExchangeString(key, text, save))
        return false;
    if (!save)
        value = text.toLocal8Bit().toStdString();
    return true;
}

bool CSettingsStorage::ExchangeString(const QString& key, QString& value, bool save)
{
    if (save) {
        qsizetype size = value.size();
        return ExchangeStringBuffer(key, value.data(), size, true);
    }
    qsizetype size = kStringFirstTry;
    QString buffer(size, QChar());
    bool ok = ExchangeStringBuffer(key, buffer.data(), size, false);
    if (!ok && size == 0)
        return false;
    if (!ok) {
        buffer = QString(size, QChar());
        ok = ExchangeStringBuffer(key, buffer.data(), size, false);
    }
    if (ok)
        value = buffer.left(buffer.indexOf(QChar()));
    return ok;
}

bool CSettingsStorage::ExchangeFloat(const QString& key, float& value, bool save)
{
    double wide = value;
    if (!ExchangeDouble(key, wide, save))
        return false;
    if (!save)
        value = float(wide);
    return true;
}

bool CSettingsStorage::ExchangeInt64(const QString& key, qint64& value, bool save)
{
    return ExchangeBinary(key, &value, sizeof(value), save);
}

bool CSettingsStorage::ExchangeUInt64(const QString& key, quint64& value, bool save)
{
    return ExchangeBinary(key, &value, sizeof(value), save);
}

bool CSettingsStorage::ExchangeUInt8(const QString& key, quint8& value, bool save)
{
    quint32 wide = value;
    if (!ExchangeUInt32(key, wide, save))
        return false;
    if (!save)
        value = quint8(wide & 0xFFu);
    return true;
}

bool CSettingsStorage::ExchangeInt8(const QString& key, qint8& value, bool save)
{
    qint32 wide = value;
    if (!ExchangeInt32(key, wide, save))
        return false;
    if (!save)
        value = qint8(quint8(quint32(wide) & 0xFFu));
    return true;
}

bool CSettingsStorage::ExchangeUInt16(const QString& key, quint16& value, bool save)
{
    quint32 wide = value;
    if (!ExchangeUInt32(key, wide, save))
        return false;
    if (!save)
        value = quint16(wide & 0xFFFFu);
    return true;
}

bool CSettingsStorage::ExchangeInt16(const QString& key, qint16& value, bool save)
{
    qint32 wide = value;
    if (!ExchangeInt32(key, wide, save))
        return false;
    if (!save)
        value = qint16(quint16(quint32(wide) & 0xFFFFu));
    return true;
}

bool CSettingsStorage::ExchangeULong(const QString& key, quint32& value, bool save)
{
    return ExchangeUInt32(key, value, save);
}

bool CSettingsStorage::ExchangeLong(const QString& key, qint32& value, bool save)
{
    return ExchangeInt32(key, value, save);
}

bool CSettingsStorage::BeginObjectList(const QString& key, qint32& count, bool save)
{
    if (count == -1)
        return false;
    listSection = OpenSection(key);
    if (!listSection)
        return false;
    if (save)
        listSection->BeginSave();
    else
        listSection->BeginLoad();
    quint32 stored = quint32(count);
    if (!listSection->ExchangeUInt32(u"Count"_s, stored, save))
        return false;
    count = qint32(stored);
    return true;
}

bool CSettingsStorage::EndObjectList(bool save)
{
    if (!listSection)
        return false;
    if (save)
        listSection->EndSave();
    else
        listSection->EndLoad();
    listSection.reset();
    return true;
}

bool CSettingsStorage::BeginValueList(const QString& key, qint32& count, bool save)
{
    listSection = OpenSection(key);
    if (!listSection)
        return false;
    const bool begun = save ? listSection->BeginSave() : listSection->BeginLoad();
    quint32 stored = quint32(count);
    if (!listSection->ExchangeUInt32(u"Count"_s, stored, save)) {
        EndValueList(save);
        return false;
    }
    count = qint32(stored);
    return begun;
}

QString CSettingsStorage::ValueListKey(qint32 index)
{
    itemKey = u"Item."_s + QString::number(index);
    return itemKey;
}

bool CSettingsStorage::EndValueList(bool save)
{
    if (!listSection)
        return false;
    const bool ended = save ? listSection->EndSave() : listSection->EndLoad();
    listSection.reset();
    return ended;
}

const QString CSettingsStorageIniFile::kMissingMarker = u"\u00FF\u007F\u0008"_s;

struct CSettingsStorageIniFile::CDocument
{
    QString path;
    CIniFile file;
    bool loaded = false;
    bool readable = true;
    bool saveAttempted = false;
    QString errorText;

    CIniFile& Access()
    {
        if (!loaded) {
            loaded = true;
            readable = file.Load(path);
        }
        return file;
    }
};

CSettingsStorageIniFile::CSettingsStorageIniFile(const QString& path, const QString& sectionName)
    : document(std::make_shared<CDocument>()), section(sectionName), isRoot(true)
{
    document->path = path;
}

CSettingsStorageIniFile::CSettingsStorageIniFile(std::shared_ptr<CDocument> shared,
                                                 const QString& sectionName)
    : document(std::move(shared)), section(sectionName)
{
}

CSettingsStorageIniFile::~CSettingsStorageIniFile()
{
    // A storage used without Begin/EndSave still gets its writes to disk.
    if (isRoot && !document->saveAttempted && document->file.IsModified())
        EndSave();
}

QString CSettingsStorageIniFile::Path() const
{
    return document->path;
}

QString CSettingsStorageIniFile::ErrorText() const
{
    return document->errorText;
}

std::unique_ptr<CSettingsStorage> CSettingsStorageIniFile::OpenSection(const QString& key)
{
    return std::unique_ptr<CSettingsStorage>(
        new CSettingsStorageIniFile(document, section + u'.' + key));
}

bool CSettingsStorageIniFile::EndSave()
{
    if (!isRoot || !document->file.IsModified())
        return true;
    document->saveAttempted = true;
    return document->file.Save(document->path, &document->errorText);
}

bool CSettingsStorageIniFile::WriteText(const QString& key, const QString& text)
{
    CIniFile& file = document->Access();
    // Writing over a file that could not be read would throw away whatever it holds.
    if (!document->readable) {
        document->errorText = u"The file could not be read"_s;
        return false;
    }
    return file.Write(section, key, text);
}

QString CSettingsStorageIniFile::ReadText(const QString& key, const QString& defaultText,
                                          qsizetype n, qsizetype* returned)
{
    QString text = document->Access().Read(section, key).value_or(defaultText);
    if (text.size() >= n - 1) {
        text.truncate(n - 1);
        *returned = n - 1;
    } else {
        *returned = text.size();
    }
    return text;
}

bool CSettingsStorageIniFile::ReadNumberText(const QString& key, QString& text)
{
    qsizetype returned = 0;
    text = ReadText(key, QString(), kNumberBuffer, &returned);
    return !text.isEmpty();
}

bool CSettingsStorageIniFile::ExchangeFloat(const QString& key, float& value, bool save)
{
    if (save)
        return WriteText(key, QString::number(double(value), 'f', 6));
    QString text;
    double read = 0;
    if (!ReadNumberText(key, text) || !ScanDouble(text, read))
        return false;
    value = float(read);
    return true;
}

bool CSettingsStorageIniFile::ExchangeDouble(const QString& key, double& value, bool save)
{
    if (save)
        return WriteText(key, QString::number(value, 'f', 6));
    QString text;
    return ReadNumberText(key, text) && ScanDouble(text, value);
}

bool CSettingsStorageIniFile::ExchangeUInt32(const QString& key, quint32& value, bool save)
{
    if (save)
        return WriteText(key, QString::number(value));
    QString text;
    return ReadNumberText(key, text) && ScanInteger(text, value);
}

bool CSettingsStorageIniFile::ExchangeInt32(const QString& key, qint32& value, bool save)
{
    if (save)
        return WriteText(key, QString::number(value));
    QString text;
    quint32 read = 0;
    if (!ReadNumberText(key, text) || !ScanInteger(text, read))
        return false;
    value = qint32(read);
    return true;
}

bool CSettingsStorageIniFile::ExchangeBool(const QString& key, bool& value, bool save)
{
    if (save)
        return WriteText(key, value ? u"TRUE"_s : u"FALSE"_s);
    QChar buffer[kBoolBuffer];
    qsizetype size = kBoolBuffer;
    if (!ExchangeStringBuffer(key, buffer, size, false))
        return false;
    value = QString(buffer) == u"TRUE"_s;
    return true;
}

bool CSettingsStorageIniFile::ExchangeStringBuffer(const QString& key, QChar* buffer,
                                                   qsizetype& size, bool save)
{
    if (save)
        return WriteText(key, buffer ? QString(buffer, size) : QString());

    const qsizetype n = std::max(size, kStringBufferMinimum);
    qsizetype returned = 0;
    const QString text = ReadText(key, kMissingMarker, n, &returned);
    if (returned == n - 1) {
        size *= 2;
        return false;
    }
    if (text == kMissingMarker) {
        size = 0;
        return false;
    }
    if (!buffer) {
        size = text.size() + 1;
        return true;
    }
    if (text.size() + 1 > size) {
        size = text.size() + 1;
        return false;
    }
    std::copy(text.cbegin(), text.cend(), buffer);
    buffer[text.size()] = QChar();
    return true;
}

bool CSettingsStorageIniFile::ExchangeBinary(const QString& key, void* data, qsizetype byteCount,
                                             bool save)
{
    if (save)
        return WriteText(key, HexBlock(data, byteCount));
    const std::optional<QString> text = document->Access().Read(section, key);
    QByteArray bytes;
    if (!text || !ParseHexBlock(*text, bytes) || bytes.size() != byteCount)
        return false;
    std::memcpy(data, bytes.constData(), size_t(byteCount));
    return true;
}

bool CSettingsStorageIniFile::ExchangeByteArray(const QString& key, QByteArray& value, bool save)
{
    if (save)
        return WriteText(key, HexBlock(value.constData(), value.size()));
    const std::optional<QString> text = document->Access().Read(section, key);
    return text && ParseHexBlock(*text, value);
}
