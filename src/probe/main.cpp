// orvel-probe: reads the properties and tags of the files named on its input, for the file list,
// which starts one per core when it adds many files.
//
//   orvel-probe [--library FILE]
//
// Input: paths, each closed by a NUL byte. Output: one answer per path, in order, written as
// soon as it is read. The end of the input ends the program.

#include "filelist/property_probe.h"
#include "foundation/os.h"
#include "planning/file_info.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    // The locale as in the program, by which the library turns names into the bytes it opens.
    QCoreApplication application(argc, argv);
    os::UseUtf8CharacterSet();
    if (argc == 3 && std::strcmp(argv[1], "--library") == 0) {
        CMediaInfoLibrary::SetSharedFileName(QString::fromLocal8Bit(argv[2]));
    } else if (argc != 1) {
        std::fputs("usage: orvel-probe [--library FILE] < NUL-separated paths\n", stderr);
        return 2;
    }
    std::string path;
    for (int c = std::getchar(); c != EOF; c = std::getchar()) {
        if (c != '\0') {
            path += char(c);
            continue;
        }
        const QString name = QString::fromStdString(path);
        const QByteArray answer =
            EncodeProbeAnswer({ReadPropertyTexts(name), ReadSourceTags(name)});
        path.clear();
        if (std::fwrite(answer.constData(), 1, size_t(answer.size()), stdout) !=
                size_t(answer.size()) ||
            std::fflush(stdout) != 0)
            return 1; // the reader is gone
    }
    return 0;
}
