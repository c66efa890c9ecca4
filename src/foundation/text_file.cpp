#include "foundation/text_file.h"

#include "foundation/os.h"
#include "foundation/path_helpers.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <type_traits>

using namespace Qt::StringLiterals;

namespace {

constexpr char16_t kCarriageReturn = 13;
constexpr char16_t kLineFeed = 10;
constexpr char16_t kReplacement = 0xFFFD;
constexpr int kLineBlockSize = 1023;

// The error of the system call that just failed; never 0, so a caller can tell it happened.
quint32 FailedCallError(const QFile& file)
{
    const int error = os::LastError();
    return error != 0 ? static_cast<quint32>(error) : static_cast<quint32>(file.error());
}

} // namespace

CTextFileBase::~CTextFileBase()
{
    file.close();
}

void CTextFileBase::Close()
{
    file.close();
}

bool CTextFileBase::IsOpen() const
{
    return file.isOpen();
}

void CTextFileBase::Fail(quint32 errorCode)
{
    file.close();
    throw CTextFileException(errorCode);
}

CTextFileRead::CTextFileRead(const QString& path)
{
    file.setFileName(path);
    // Unbuffered: the 1024-byte buffer below is the only one, one system read per fill.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        endOfFile = true;
        return;
    }
    DetectEncoding();
}

CTextFileRead::~CTextFileRead()
{
    file.close();
}

void CTextFileRead::Close()
{
    file.close();
}

void CTextFileRead::DetectEncoding()
{
    const quint8 b0 = ReadByte();
    const quint8 b1 = ReadByte();
    if (b0 == 0xFF && b1 == 0xFE) {
        encoding = TextEncoding::Utf16LittleEndian;
        return;
    }
    if (b0 == 0xFE && b1 == 0xFF) {
        encoding = TextEncoding::Utf16BigEndian;
        return;
    }
    if (b0 == 0xEF && b1 == 0xBB && ReadByte() == 0xBF) {
        encoding = TextEncoding::Utf8;
        return;
    }
    encoding = TextEncoding::Ansi;
    Rewind();
}

void CTextFileRead::Rewind()
{
    if (!file.seek(0))
        Fail(FailedCallError(file));
    bufferPosition = -1;
    validBytes = 0;
    pushedBack = false;
    firstLine = true;
    endOfFile = false;
}

// Once the end is reached every further byte reads as 0, so a multi-byte sequence cut off by
// the end never picks up stale bytes from an earlier fill.
quint8 CTextFileRead::ReadByte()
{
    if (endOfFile)
        return 0;
    if (bufferPosition == -1 || bufferPosition == kBufferSize - 1) {
        const qint64 got = file.isOpen() ? file.read(buffer.data(), kBufferSize) : 0;
        if (got < 0) {
            validBytes = 0;
            Fail(FailedCallError(file));
        }
        validBytes = static_cast<int>(got);
        bufferPosition = -1;
        if (got == 0) {
            endOfFile = true;
            return 0;
        }
    }
    ++bufferPosition;
    if (bufferPosition >= validBytes) {
        endOfFile = true;
        return 0;
    }
    return static_cast<quint8>(buffer[static_cast<size_t>(bufferPosition)]);
}

// One to three bytes per character; anything else (a stray continuation byte, the lead of a
// four-byte sequence) is one U+FFFD for its lead byte alone.
char16_t CTextFileRead::DecodeUtf8()
{
    const quint8 b0 = ReadByte();
    switch (std::countl_one(b0)) {
    case 0:
        return b0;
    case 2: {
        const quint8 b1 = ReadByte();
        return static_cast<char16_t>(((b0 & 0x1F) << 6) | (b1 & 0x3F));
    }
    case 3: {
        const quint8 b1 = ReadByte();
        const quint8 b2 = ReadByte();
        return static_cast<char16_t>(((b0 & 0x0F) << 12) | ((b1 & 0x3F) << 6) | (b2 & 0x3F));
    }
    default:
        return kReplacement;
    }
}

char16_t CTextFileRead::NextUnit()
{
    if (pushedBack) {
        pushedBack = false;
        return encoding == TextEncoding::Ansi ? (pushedBackCharacter & 0xFF) : pushedBackCharacter;
    }
    switch (encoding) {
    case TextEncoding::Utf16BigEndian: {
        const quint8 b0 = ReadByte();
        const quint8 b1 = ReadByte();
        return static_cast<char16_t>((b0 << 8) | b1);
    }
    case TextEncoding::Utf16LittleEndian: {
        const quint8 b0 = ReadByte();
        const quint8 b1 = ReadByte();
        return static_cast<char16_t>((b1 << 8) | b0);
    }
    case TextEncoding::Utf8:
        return DecodeUtf8();
    case TextEncoding::Ansi:
        break;
    }
    return ReadByte();
}

// CR LF, a lone LF and a lone CR each end a line. The terminator is pushed back and skipped at
// the start of the next line, so LF CR ends two lines.
template <typename Line> bool CTextFileRead::ReadUnits(Line& line)
{
    using Unit = std::conditional_t<std::is_same_v<Line, QByteArray>, char, QChar>;
    if (endOfFile)
        return false;
    char16_t unit = NextUnit();
    if (firstLine) {
        firstLine = false;
    } else {
        if (unit == kCarriageReturn)
            unit = NextUnit();
        if (unit == kLineFeed)
            unit = NextUnit();
    }

    line.clear();
    std::array<Unit, kLineBlockSize> block;
    int used = 0;
    while (unit != kCarriageReturn && unit != kLineFeed && !endOfFile) {
        if (used == kLineBlockSize) {
            line.append(block.data(), used);
            used = 0;
        }
        block[static_cast<size_t>(used++)] = Unit(unit);
        unit = NextUnit();
    }
    line.append(block.data(), used);
    pushedBack = true;
    pushedBackCharacter = unit;
    return true;
}

bool CTextFileRead::ReadLine(QByteArray& line)
{
    if (encoding == TextEncoding::Ansi)
        return ReadUnits(line);
    QString decoded;
    if (!ReadUnits(decoded))
        return false;
    bool lost = false;
    line = WideToNarrow(decoded, &lost);
    if (lost)
        dataLost = true;
    return true;
}

bool CTextFileRead::ReadLine(QString& line)
{
    if (encoding != TextEncoding::Ansi)
        return ReadUnits(line);
    QByteArray bytes;
    if (!ReadUnits(bytes))
        return false;
    line = NarrowToWide(bytes);
    return true;
}

CTextFileWrite::CTextFileWrite(const QString& path)
{
    file.setFileName(path);
    // A file that cannot be created leaves the writer closed; IsOpen tells the caller.
    file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
}

CTextFileWrite::~CTextFileWrite()
{
    // A destructor must not throw; a caller that cares about a failed final write calls Close.
    try {
        CTextFileWrite::Close();
    } catch (const CTextFileException&) {
    }
}

void CTextFileWrite::Write(const QString& text)
{
    bool lost = false;
    const QByteArray bytes = WideToNarrow(text, &lost);
    if (lost)
        dataLost = true;
    qsizetype offset = 0;
    while (offset < bytes.size()) {
        if (bufferPosition + 1 == kBufferSize)
            WriteOut();
        const qsizetype room = kBufferSize - (bufferPosition + 1);
        const qsizetype count = std::min(room, bytes.size() - offset);
        std::memcpy(buffer.data() + bufferPosition + 1, bytes.constData() + offset,
                    static_cast<size_t>(count));
        bufferPosition += static_cast<int>(count);
        offset += count;
    }
}

void CTextFileWrite::WriteEndLine()
{
    Write(u"\r\n"_s);
}

void CTextFileWrite::Flush()
{
    if (!file.isOpen() || bufferPosition == -1)
        return;
    WriteOut();
}

void CTextFileWrite::Close()
{
    Flush();
    file.close();
}

// Text written to a writer whose file could not be created is dropped here, as Flush skips
// such a file; IsOpen is how a caller finds out.
void CTextFileWrite::WriteOut()
{
    const qint64 count = bufferPosition + 1;
    bufferPosition = -1;
    if (!file.isOpen())
        return;
    if (file.write(buffer.data(), count) != count)
        Fail(FailedCallError(file));
}
