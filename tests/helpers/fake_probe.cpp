// Stands in for orvel-probe: answers "Probed" and fourteen empty texts for each path on its
// input, and dies without a word on a path that contains "crash".

#include <cstdio>
#include <cstdlib>
#include <string>

int main()
{
    // With the literal's own: fifteen NULs, the six property texts and the nine tag fields.
    static const char kAnswer[] = "Probed\0\0\0\0\0\0\0\0\0\0\0\0\0\0";
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
