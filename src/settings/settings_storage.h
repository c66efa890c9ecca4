#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <memory>
#include <string>

// Knows how to write and read each value type under a key. With save the value is written;
// otherwise it is read into the variable, which changes only when the read succeeds.
class CSettingsStorage
{
public:
    CSettingsStorage() = default;
    CSettingsStorage(const CSettingsStorage&) = delete;
    CSettingsStorage& operator=(const CSettingsStorage&) = delete;
    virtual ~CSettingsStorage();

    virtual std::unique_ptr<CSettingsStorage> OpenSection(const QString& key) = 0;
    virtual bool ContinueOnError() = 0;
    virtual bool BeginSave() { return true; }
    virtual bool EndSave() { return true; }
    virtual bool BeginLoad() { return true; }
    virtual bool EndLoad() { return true; }
    virtual bool ExchangeStdWString(const QString& key, std::wstring& value, bool save);
    virtual bool ExchangeStdString(const QString& key, std::string& value, bool save);
    virtual bool ExchangeString(const QString& key, QString& value, bool save);
    virtual bool ExchangeFloat(const QString& key, float& value, bool save);
    virtual bool ExchangeInt64(const QString& key, qint64& value, bool save);
    virtual bool ExchangeUInt64(const QString& key, quint64& value, bool save);
    virtual bool ExchangeUInt8(const QString& key, quint8& value, bool save);
    virtual bool ExchangeInt8(const QString& key, qint8& value, bool save);
    virtual bool ExchangeUInt16(const QString& key, quint16& value, bool save);
    virtual bool ExchangeInt16(const QString& key, qint16& value, bool save);
    virtual bool ExchangeULong(const QString& key, quint32& value, bool save);
    virtual bool ExchangeLong(const QString& key, qint32& value, bool save);
    virtual bool ExchangeBinary(const QString& key, void* data, qsizetype byteCount, bool save) = 0;
    // size is in characters. Saving writes `size` characters of buffer. Loading copies the
    // text and its terminating zero into buffer when it fits in `size`, and otherwise fails
    // with the size that is needed in `size` (0 when the key is missing); a null buffer only
    // asks for the size.
    virtual bool ExchangeStringBuffer(const QString& key, QChar* buffer, qsizetype& size,
                                      bool save) = 0;
    virtual bool ExchangeDouble(const QString& key, double& value, bool save) = 0;
    virtual bool ExchangeBool(const QString& key, bool& value, bool save) = 0;
    virtual bool ExchangeUInt32(const QString& key, quint32& value, bool save) = 0;
    virtual bool ExchangeInt32(const QString& key, qint32& value, bool save) = 0;
    virtual bool BeginObjectList(const QString& key, qint32& count, bool save);
    virtual bool EndObjectList(bool save);
    virtual bool BeginValueList(const QString& key, qint32& count, bool save);
    virtual QString ValueListKey(qint32 index);
    virtual bool EndValueList(bool save);

    // A byte block whose length is whatever was saved (the window geometry, whose size the
    // toolkit decides); same text format and checksum as ExchangeBinary.
    virtual bool ExchangeByteArray(const QString& key, QByteArray& value, bool save) = 0;

    // The section opened by BeginObjectList or BeginValueList: values of a value list are
    // exchanged in it under ValueListKey(i), objects of an object list in its sections "0",
    // "1", ... (ExchangeListObject of settings_exchange.h).
    CSettingsStorage* ListSection() const { return listSection.get(); }

private:
    std::unique_ptr<CSettingsStorage> listSection;
    QString itemKey;
};

// The INI storage: values in one section of an INI file, nested objects in sections named
// "<section>.<key>". Every storage opened from one root shares the root's copy of the file,
// and the root's EndSave writes it back in one go (a temporary file renamed into place), so
// a failed save leaves the previous file as it was and is reported by EndSave.
class CSettingsStorageIniFile : public CSettingsStorage
{
public:
    explicit CSettingsStorageIniFile(const QString& path = QString(),
                                     const QString& section = QString());
    ~CSettingsStorageIniFile() override;

    std::unique_ptr<CSettingsStorage> OpenSection(const QString& key) override;
    bool ContinueOnError() override { return true; }
    bool EndSave() override;
    bool ExchangeFloat(const QString& key, float& value, bool save) override;
    bool ExchangeBinary(const QString& key, void* data, qsizetype byteCount, bool save) override;
    bool ExchangeStringBuffer(const QString& key, QChar* buffer, qsizetype& size,
                              bool save) override;
    bool ExchangeDouble(const QString& key, double& value, bool save) override;
    bool ExchangeBool(const QString& key, bool& value, bool save) override;
    bool ExchangeUInt32(const QString& key, quint32& value, bool save) override;
    bool ExchangeInt32(const QString& key, qint32& value, bool save) override;
    bool ExchangeByteArray(const QString& key, QByteArray& value, bool save) override;

    QString Path() const;
    QString Section() const { return section; }
    // Why the last write of the file failed.
    QString ErrorText() const;

    // The text a read returns for a missing key; a value holding exactly this text reads as
    // missing too.
    static const QString kMissingMarker;

private:
    struct CDocument;
    CSettingsStorageIniFile(std::shared_ptr<CDocument> document, const QString& section);

    bool WriteText(const QString& key, const QString& text);
    // The value as the system's profile reader returns it into an n-character buffer: at most
    // n - 1 characters; `defaultText` for a missing key.
    QString ReadText(const QString& key, const QString& defaultText, qsizetype n,
                     qsizetype* returned);
    bool ReadNumberText(const QString& key, QString& text);

    std::shared_ptr<CDocument> document;
    QString section;
    bool isRoot = false;
};
