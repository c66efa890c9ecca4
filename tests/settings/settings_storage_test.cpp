#include "settings/settings_exchange.h"
#include "settings/settings_storage.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class SettingsStorageTest : public ::testing::Test
{
protected:
    QString Path() const { return dir.filePath(u"Settings.ini"_s); }

    // A file holding `body` under [Settings].
    void WriteSettings(const QByteArray& body)
    {
        QFile file(Path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Settings]\r\n" + body);
    }

    QTemporaryDir dir;
};

// Two values and a nested object, exchanged with the rules every settings class follows.
class CPair : public CSettings
{
public:
    bool Exchange(bool continueOnError, CSettingsStorage* storage, bool save, bool reset) override
    {
        CSettingsExchange values(continueOnError, storage, save, reset);
        return values.Int32(u"A"_s, a, 10) && values.Int32(u"B"_s, b, 20) &&
               values.String(u"Name"_s, name, u"none"_s) && values.Result();
    }

    qint32 a = 10;
    qint32 b = 20;
    QString name = u"none"_s;
};

class COuter : public CSettings
{
public:
    bool Exchange(bool continueOnError, CSettingsStorage* storage, bool save, bool reset) override
    {
        CSettingsExchange values(continueOnError, storage, save, reset);
        return values.Int32(u"A"_s, a, 1) && values.Settings(u"Core"_s, core) && values.Result();
    }

    qint32 a = 1;
    CPair core;
};

TEST_F(SettingsStorageTest, ValuesAndNestedObjectsGoToTheirSections)
{
    COuter outer;
    outer.a = 5;
    outer.core.b = 7;
    CSettingsStorageIniFile storage(Path(), u"Settings"_s);
    ASSERT_TRUE(outer.Save(storage));
    EXPECT_EQ(ReadBytes(Path()).toStdString(),
              std::string("[Settings]\r\nA=5\r\n"
                          "[Settings.Core]\r\nA=10\r\nB=7\r\nName=none\r\n"));

    COuter loaded;
    CSettingsStorageIniFile reader(Path(), u"Settings"_s);
    ASSERT_TRUE(loaded.Load(reader));
    EXPECT_EQ(loaded.a, 5);
    EXPECT_EQ(loaded.core.b, 7);
}

// Numbers are read the way "%d", "%u" and "%lf" convert text: leading blanks skipped, the
// digits taken, the rest ignored; nothing to convert fails and leaves the variable alone.
TEST_F(SettingsStorageTest, NumbersReadLikeTheCConversions)
{
    struct Case
    {
        QByteArray text;
        bool ok;
        qint32 int32;
        quint32 uint32;
    };
    const Case cases[] = {
        {"12", true, 12, 12},
        {"12abc", true, 12, 12},
        {"\t -7 ", true, -7, quint32(-7)},
        {"+3", true, 3, 3},
        {"4294967295", true, -1, 4294967295u},
        {"4294967297", true, 1, 1},
        {"abc", false, 99, 99},
        {"-", false, 99, 99},
        {"", false, 99, 99},
        {"\"\"", false, 99, 99},
    };
    for (const Case& c : cases) {
        WriteSettings("V=" + c.text + "\r\n");
        CSettingsStorageIniFile storage(Path(), u"Settings"_s);
        qint32 int32 = 99;
        quint32 uint32 = 99;
        EXPECT_EQ(storage.ExchangeInt32(u"V"_s, int32, false), c.ok) << c.text.constData();
        EXPECT_EQ(int32, c.int32) << c.text.constData();
        EXPECT_EQ(storage.ExchangeUInt32(u"V"_s, uint32, false), c.ok) << c.text.constData();
        EXPECT_EQ(uint32, c.uint32) << c.text.constData();
    }

    WriteSettings("D=2.5x\r\nE= 1e3\r\nF=.25\r\nG=x1\r\n");
    CSettingsStorageIniFile storage(Path(), u"Settings"_s);
    double d = 0, e = 0, g = 42;
    float f = 0;
    EXPECT_TRUE(storage.ExchangeDouble(u"D"_s, d, false));
    EXPECT_EQ(d, 2.5);
    EXPECT_TRUE(storage.ExchangeDouble(u"E"_s, e, false));
    EXPECT_EQ(e, 1000.0);
    EXPECT_TRUE(storage.ExchangeFloat(u"F"_s, f, false));
    EXPECT_EQ(f, 0.25f);
    EXPECT_FALSE(storage.ExchangeDouble(u"G"_s, g, false));
    EXPECT_EQ(g, 42.0);
}

TEST_F(SettingsStorageTest, NarrowIntegersKeepTheLowBits)
{
    WriteSettings("I8=300\r\nU8=257\r\nI16=70000\r\nU16=-1\r\n");
    CSettingsStorageIniFile storage(Path(), u"Settings"_s);
    qint8 i8 = 0;
    quint8 u8 = 0;
    qint16 i16 = 0;
    quint16 u16 = 0;
    ASSERT_TRUE(storage.ExchangeInt8(u"I8"_s, i8, false));
    EXPECT_EQ(i8, 44);
    ASSERT_TRUE(storage.ExchangeUInt8(u"U8"_s, u8, false));
    EXPECT_EQ(u8, 1);
    ASSERT_TRUE(storage.ExchangeInt16(u"I16"_s, i16, false));
    EXPECT_EQ(i16, 4464);
    ASSERT_TRUE(storage.ExchangeUInt16(u"U16"_s, u16, false));
    EXPECT_EQ(u16, 65535);
}

TEST_F(SettingsStorageTest, WrittenFormats)
{
    {
        CSettingsStorageIniFile storage(Path(), u"Settings"_s);
        bool yes = true, no = false;
        float f = 1.5f;
        double d = -2.25;
        quint32 u = 4000000000u;
        qint32 i = -5;
        qint64 big = -2;
        ASSERT_TRUE(storage.ExchangeBool(u"Yes"_s, yes, true));
        ASSERT_TRUE(storage.ExchangeBool(u"No"_s, no, true));
        ASSERT_TRUE(storage.ExchangeFloat(u"F"_s, f, true));
        ASSERT_TRUE(storage.ExchangeDouble(u"D"_s, d, true));
        ASSERT_TRUE(storage.ExchangeUInt32(u"U"_s, u, true));
        ASSERT_TRUE(storage.ExchangeInt32(u"I"_s, i, true));
        ASSERT_TRUE(storage.ExchangeInt64(u"Big"_s, big, true));
        ASSERT_TRUE(storage.EndSave());
    }
    EXPECT_EQ(ReadBytes(Path()).toStdString(),
              std::string("[Settings]\r\nYes=TRUE\r\nNo=FALSE\r\nF=1.500000\r\n"
                          "D=-2.250000\r\nU=4000000000\r\nI=-5\r\n"
                          "Big=FEFFFFFFFFFFFFFFF7\r\n"));

    CSettingsStorageIniFile storage(Path(), u"Settings"_s);
    qint64 big = 0;
    ASSERT_TRUE(storage.ExchangeInt64(u"Big"_s, big, false));
    EXPECT_EQ(big, -2);
}

TEST_F(SettingsStorageTest, OnlyExactTrueIsTrue)
{
    WriteSettings("A=TRUE\r\nB=true\r\nC= TRUE \r\nD=TRUEISH\r\nE=1\r\n"
                  "F=" +
                  QByteArray(20, 'T') + "\r\n");
    CSettingsStorageIniFile storage(Path(), u"Settings"_s);
    const struct
    {
        const char16_t* key;
        bool ok;
        bool value;
    } cases[] = {{u"A", true, true},        {u"B", true, false}, {u"C", true, true},
                 {u"D", true, false},       {u"E", true, false}, {u"F", false, false},
                 {u"Missing", false, false}};
    for (const auto& c : cases) {
        bool value = false;
        EXPECT_EQ(storage.ExchangeBool(QString::fromUtf16(c.key), value, false), c.ok)
            << QString::fromUtf16(c.key).toStdString();
        EXPECT_EQ(value, c.value) << QString::fromUtf16(c.key).toStdString();
    }
}

TEST_F(SettingsStorageTest, ByteBlocksCarryAChecksum)
{
    const quint8 bytes[4] = {0x2C, 0x00, 0xFF, 0x10};
    {
        CSettingsStorageIniFile storage(Path(), u"Settings"_s);
        quint8 copy[4];
        std::copy(std::begin(bytes), std::end(bytes), copy);
        ASSERT_TRUE(storage.ExchangeBinary(u"Block"_s, copy, 4, true));
    }
    EXPECT_EQ(ReadBytes(Path()).toStdString(), std::string("[Settings]\r\nBlock=2C00FF103B\r\n"));

    struct Case
    {
        QByteArray text;
        bool ok;
    };
    const Case cases[] = {
        {"2C00FF103B", true}, {"2c00ff103b", true},    {"2C00FF103C", false}, {"2C00FF113B", false},
        {"2C00FF10", false},  {"2C00FF103B00", false}, {"2C00FG103B", false}, {"", false},
    };
    for (const Case& c : cases) {
        WriteSettings("Block=" + c.text + "\r\n");
        CSettingsStorageIniFile storage(Path(), u"Settings"_s);
        quint8 read[4] = {1, 2, 3, 4};
        EXPECT_EQ(storage.ExchangeBinary(u"Block"_s, read, 4, false), c.ok) << c.text.data();
        const quint8 expected[4] = {c.ok ? bytes[0] : quint8(1), c.ok ? bytes[1] : quint8(2),
                                    c.ok ? bytes[2] : quint8(3), c.ok ? bytes[3] : quint8(4)};
        EXPECT_TRUE(std::equal(std::begin(read), std::end(read), expected)) << c.text.data();
    }

    // A block of any length, as window geometry is.
    WriteSettings("Block=2C00FF103B\r\nEmpty=00\r\nBad=2C00FF103C\r\n");
    CSettingsStorageIniFile storage(Path(), u"Settings"_s);
    QByteArray block = "keep";
    ASSERT_TRUE(storage.ExchangeByteArray(u"Block"_s, block, false));
    EXPECT_EQ(block, QByteArray("\x2C\x00\xFF\x10", 4));
    ASSERT_TRUE(storage.ExchangeByteArray(u"Empty"_s, block, false));
    EXPECT_TRUE(block.isEmpty());
    block = "keep";
    EXPECT_FALSE(storage.ExchangeByteArray(u"Bad"_s, block, false));
    EXPECT_EQ(block, QByteArray("keep"));
}

// Strings go through a 1024-character read buffer: a value that fills it is taken as cut
// short and never loads, and the missing-key marker reads as missing.
TEST_F(SettingsStorageTest, StringBufferRules)
{
    const QString marker = CSettingsStorageIniFile::kMissingMarker;
    WriteSettings("S500=" + QByteArray(500, 'x') + "\r\nS1022=" + QByteArray(1022, 'y') +
                  "\r\nS1023=" + QByteArray(1023, 'z') + "\r\nS5000=" + QByteArray(5000, 'w') +
                  "\r\nMarker=" + marker.toUtf8() + "\r\nEmpty=\r\nQuoted=\"  both ends  \"\r\n");
    CSettingsStorageIniFile storage(Path(), u"Settings"_s);
    const struct
    {
        const char16_t* key;
        bool ok;
        QString value;
    } cases[] = {
        {u"S500", true, QString(500, u'x')}, {u"S1022", true, QString(1022, u'y')},
        {u"S1023", false, u"before"_s},      {u"S5000", false, u"before"_s},
        {u"Marker", false, u"before"_s},     {u"Missing", false, u"before"_s},
        {u"Empty", true, QString()},         {u"Quoted", true, u"  both ends  "_s},
    };
    for (const auto& c : cases) {
        QString value = u"before"_s;
        const QString key = QString::fromUtf16(c.key);
        EXPECT_EQ(storage.ExchangeString(key, value, false), c.ok) << key.toStdString();
        EXPECT_EQ(value, c.value) << key.toStdString();
    }

    qsizetype size = 0;
    ASSERT_TRUE(storage.ExchangeStringBuffer(u"S500"_s, nullptr, size, false));
    EXPECT_EQ(size, 501) << "without a buffer the read tells the size it needs";
    size = 128;
    EXPECT_FALSE(storage.ExchangeStringBuffer(u"Missing"_s, nullptr, size, false));
    EXPECT_EQ(size, 0);

    std::string narrow;
    std::wstring wide;
    ASSERT_TRUE(storage.ExchangeStdString(u"Quoted"_s, narrow, false));
    EXPECT_EQ(narrow, "  both ends  ");
    ASSERT_TRUE(storage.ExchangeStdWString(u"Quoted"_s, wide, false));
    EXPECT_EQ(wide, L"  both ends  ");
}

class CItem : public CSettings
{
public:
    bool Exchange(bool continueOnError, CSettingsStorage* storage, bool save, bool reset) override
    {
        CSettingsExchange values(continueOnError, storage, save, reset);
        return values.String(u"Path"_s, path, QString()) && values.Result();
    }
    QString path;
};

TEST_F(SettingsStorageTest, ObjectAndValueLists)
{
    {
        CSettingsStorageIniFile storage(Path(), u"Settings"_s);
        qint32 count = 2;
        ASSERT_TRUE(storage.BeginObjectList(u"Files"_s, count, true));
        CItem first, second;
        first.path = u"/m/a.flac"_s;
        second.path = u"/m/b.flac"_s;
        ASSERT_TRUE(ExchangeListObject(storage, 0, first, true));
        ASSERT_TRUE(ExchangeListObject(storage, 1, second, true));
        ASSERT_TRUE(storage.EndObjectList(true));

        qint32 values = 2;
        ASSERT_TRUE(storage.BeginValueList(u"Numbers"_s, values, true));
        qint32 three = 3, four = 4;
        ASSERT_TRUE(storage.ListSection()->ExchangeInt32(storage.ValueListKey(0), three, true));
        ASSERT_TRUE(storage.ListSection()->ExchangeInt32(storage.ValueListKey(1), four, true));
        ASSERT_TRUE(storage.EndValueList(true));
        ASSERT_TRUE(storage.EndSave());
    }
    EXPECT_EQ(ReadBytes(Path()).toStdString(),
              std::string("[Settings.Files]\r\nCount=2\r\n"
                          "[Settings.Files.0]\r\nPath=/m/a.flac\r\n"
                          "[Settings.Files.1]\r\nPath=/m/b.flac\r\n"
                          "[Settings.Numbers]\r\nCount=2\r\n"
                          "Item.0=3\r\nItem.1=4\r\n"));

    CSettingsStorageIniFile storage(Path(), u"Settings"_s);
    qint32 count = 0;
    ASSERT_TRUE(storage.BeginObjectList(u"Files"_s, count, false));
    ASSERT_EQ(count, 2);
    CItem item;
    ASSERT_TRUE(ExchangeListObject(storage, 1, item, false));
    EXPECT_EQ(item.path, u"/m/b.flac"_s);
    ASSERT_TRUE(storage.EndObjectList(false));
    EXPECT_FALSE(ExchangeListObject(storage, 0, item, false)) << "no list is open";
    EXPECT_FALSE(storage.EndObjectList(false));

    qint32 minusOne = -1;
    EXPECT_FALSE(storage.BeginObjectList(u"Files"_s, minusOne, false));

    qint32 values = 0;
    EXPECT_FALSE(storage.BeginValueList(u"NoSuchList"_s, values, false));
    EXPECT_EQ(storage.ListSection(), nullptr) << "a list without a count is closed again";
    EXPECT_EQ(storage.ValueListKey(3), u"Item.3"_s);
}

class SettingsExchangeTest : public SettingsStorageTest
{
};

TEST_F(SettingsExchangeTest, LoadFallsBackToDefaultsValueByValue)
{
    WriteSettings("A=4\r\nB=letters\r\n[Settings.Core]\r\nA=3\r\n");
    COuter outer;
    outer.core.a = outer.core.b = 55;
    CSettingsStorageIniFile storage(Path(), u"Settings"_s);
    ASSERT_TRUE(outer.Load(storage)) << "failed plain values do not fail a load";
    EXPECT_EQ(outer.a, 4);
    EXPECT_EQ(outer.core.a, 3);
    EXPECT_EQ(outer.core.b, 20);
    EXPECT_EQ(outer.core.name, u"none"_s);

    // Without continuing on errors the first failure stops the exchange and nothing after it
    // is touched.
    CPair pair;
    pair.a = pair.b = 55;
    CSettingsStorageIniFile core(Path(), u"Settings.Core"_s);
    EXPECT_FALSE(pair.Exchange(false, &core, false, false));
    EXPECT_EQ(pair.a, 3);
    EXPECT_EQ(pair.b, 55);

    EXPECT_TRUE(pair.Exchange(false, nullptr, false, true));
    EXPECT_EQ(pair.a, 10);
    EXPECT_EQ(pair.b, 20);
}

// A value that cannot be stored fails the save, but everything else is still written.
TEST_F(SettingsExchangeTest, SaveGoesOnPastAFailedValue)
{
    WriteSettings("; kept\r\nA=0\r\n");
    CPair pair;
    pair.a = 1;
    pair.name = u"two\nlines"_s;
    pair.b = 2;
    CSettingsStorageIniFile storage(Path(), u"Settings"_s);
    EXPECT_FALSE(pair.Save(storage));
    EXPECT_EQ(ReadBytes(Path()).toStdString(),
              std::string("[Settings]\r\n; kept\r\nA=1\r\nB=2\r\n"));
}

// A settings file that exists but cannot be read must not be replaced by a save that only
// knows our own keys.
TEST_F(SettingsExchangeTest, UnreadableFileIsNeverOverwritten)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"Settings.ini"_s));
    COuter outer;
    outer.a = 9;
    CSettingsStorageIniFile reader(Path(), u"Settings"_s);
    EXPECT_TRUE(outer.Load(reader));
    EXPECT_EQ(outer.a, 1);
    CSettingsStorageIniFile writer(Path(), u"Settings"_s);
    EXPECT_FALSE(outer.Save(writer));
    EXPECT_FALSE(writer.ErrorText().isEmpty());
    EXPECT_TRUE(QFileInfo(Path()).isDir());
}

} // namespace
