// The INI reader and writer on any bytes: a document written out and read again writes the
// same bytes, and a key written reads back exactly as written (padding and quotes included),
// the document around it unchanged.
#include "fuzz_support.h"
#include "settings/ini_file.h"

namespace {

CIniFile LoadBytes(const char* name, const QByteArray& bytes)
{
    const QString path = WriteFuzzFile(name, reinterpret_cast<const uint8_t*>(bytes.constData()),
                                       static_cast<size_t>(bytes.size()));
    CIniFile ini;
    if (!ini.Load(path))
        FuzzFail("an existing file failed to load", path);
    return ini;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The document, then after a NUL "section TAB key TAB value" to write into it.
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const qsizetype split = input.indexOf('\0');
    const QByteArray document = split < 0 ? input : input.left(split);
    const QStringList change =
        split < 0 ? QStringList() : QString::fromUtf8(input.mid(split + 1)).split(u'\t');

    const CIniFile first = LoadBytes("first.ini", document);
    const QByteArray written = first.ToBytes();
    const CIniFile second = LoadBytes("second.ini", written);
    if (second.ToBytes() != written)
        FuzzFail("a document read back writes different bytes");

    if (change.size() != 3)
        return 0;
    const QString& section = change[0];
    const QString& key = change[1];
    const QString& value = change[2];
    const std::optional<QString> before = second.Read(u"Other"_s, u"Key"_s);
    CIniFile changed = second;
    if (!changed.Write(section, key, value))
        return 0;
    const CIniFile reread = LoadBytes("third.ini", changed.ToBytes());
    if (reread.Read(section, key) != std::optional<QString>(value))
        FuzzFail("a written key does not read back",
                 section + u" / "_s + key + u" = "_s + value + u" -> "_s +
                     reread.Read(section, key).value_or(u"<missing>"_s));
    const bool sameKey = section.compare(u"Other"_s, Qt::CaseInsensitive) == 0 &&
                         key.compare(u"Key"_s, Qt::CaseInsensitive) == 0;
    if (!sameKey && reread.Read(u"Other"_s, u"Key"_s) != before)
        FuzzFail("writing one key changed another");
    return 0;
}
