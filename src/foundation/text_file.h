#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>
#include <array>
#include <exception>

// Line-oriented text files: the reader recognises UTF-8 and UTF-16 byte-order marks and
// otherwise reads the platform's narrow encoding (UTF-8); the writer writes narrow text with
// CR LF line ends. All access goes through a 1024-byte buffer.

enum class TextEncoding : quint8
{
    Ansi = 0,
    Utf16BigEndian = 1,
    Utf16LittleEndian = 2,
    Utf8 = 3
};

class CTextFileException : public std::exception
{
public:
    explicit CTextFileException(quint32 errorCode) : m_errorCode(errorCode) {}
    quint32 GetErrorCode() const { return m_errorCode; }
    const char* what() const noexcept override { return "text file read or write failed"; }

private:
    quint32 m_errorCode;
};

class CTextFileBase
{
public:
    static constexpr int kBufferSize = 1024;

    CTextFileBase() = default;
    CTextFileBase(const CTextFileBase&) = delete;
    CTextFileBase& operator=(const CTextFileBase&) = delete;
    virtual ~CTextFileBase();

    virtual void Close();

    bool IsOpen() const;
    TextEncoding GetEncoding() const { return encoding; }
    bool IsDataLost() const { return dataLost; }

protected:
    // Closes the file and raises the exception for a failed read or write.
    [[noreturn]] void Fail(quint32 errorCode);

    TextEncoding encoding = TextEncoding::Ansi;
    QFile file;
    bool endOfFile = false;
    std::array<char, kBufferSize> buffer{};
    int validBytes = 0;
    int bufferPosition = -1;
    char replacementCharacter = 0;
    bool dataLost = false;
    quint32 codePage = 0;
};

class CTextFileRead : public CTextFileBase
{
public:
    explicit CTextFileRead(const QString& path);
    ~CTextFileRead() override;

    bool ReadLine(QByteArray& line);
    bool ReadLine(QString& line);
    void Close() override;

private:
    void DetectEncoding();
    void Rewind();
    quint8 ReadByte();
    char16_t DecodeUtf8();
    char16_t NextUnit();
    template <typename Line> bool ReadUnits(Line& line);

    bool pushedBack = false;
    char16_t pushedBackCharacter = 0;
    bool firstLine = true;
};

class CTextFileWrite : public CTextFileBase
{
public:
    explicit CTextFileWrite(const QString& path);
    ~CTextFileWrite() override;

    void Write(const QString& text);
    void WriteEndLine();
    void Flush();
    void Close() override;

private:
    void WriteOut();
};
