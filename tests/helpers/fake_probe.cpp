// Stands in for orvel-probe: answers "Probed" and five empty texts for each path on its
// input, and dies without a word on a path that contains "crash".

#include <cstdio>
#include <cstdlib>
#include <string>

int main()
{
    static const char kAnswer[] = "Probed\0\0\0\0\0"; // with the literal's own: six NULs
    std::string path;
    for (int c = std::getchar(); c != EOF; c = std::getchar()) {
        if (c != '\0') {
            path += char(c);
            continue;
        }
        if (path.find("crash") != std::string::npos)
            std::_Exit(3);
        path.clear();
        std::fwrite(kAnswer, 1, sizeof kAnswer, stdout);
        std::fflush(stdout);
    }
    return 0;
}
