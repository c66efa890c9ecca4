// The playlist loader on any bytes: it keeps only lines naming files that open, and a list
// saved and loaded again is the same list. The fuzzer runs in a folder holding a few files
// that the seeds name, so real entries get through.
#include "filelist/file_list.h"
#include "fuzz_support.h"

#include <QDir>

namespace {

QStringList Paths(const CFileList& list)
{
    QStringList paths;
    for (qsizetype i = 0; i < list.Count(); ++i)
        paths.append(list.At(i)->path);
    return paths;
}

void EnterFolderWithFiles()
{
    static bool entered = false;
    if (entered)
        return;
    entered = true;
    const QString folder = FuzzFile("m3u");
    QDir().mkpath(folder + u"/sub dir"_s);
    for (const QString& name :
         {u"a.flac"_s, u"b c.wav"_s, u"sub dir/\u00e6 d.mp3"_s, u"-e.ogg"_s}) {
        QFile file(folder + u'/' + name);
        if (file.open(QIODevice::WriteOnly))
            file.write("RIFF");
    }
    QDir::setCurrent(folder);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    EnterFolderWithFiles();
    const QString playlist = WriteFuzzFile("list.m3u", data, size);
    CFileList list;
    list.LoadFromM3U(playlist);
    for (qsizetype i = 0; i < list.Count(); ++i) {
        if (!QFileInfo(list.At(i)->path).isFile())
            FuzzFail("an entry names no file", list.At(i)->path);
    }

    const QString copy = FuzzFile("copy.m3u");
    QString error;
    if (!list.SaveToM3U(copy, &error))
        FuzzFail("saving the list failed", error);
    CFileList again;
    if (!again.LoadFromM3U(copy) || Paths(again) != Paths(list))
        FuzzFail("the saved list loads differently",
                 Describe(Paths(list)) + u" -> "_s + Describe(Paths(again)));
    return 0;
}
