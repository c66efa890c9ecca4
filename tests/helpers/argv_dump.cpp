// Writes each argument it receives to the file named by ORVEL_ARGV_DUMP, one per record:
// the byte length, a newline, the bytes, a newline. Exits with ORVEL_ARGV_EXIT (default 0).
#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv)
{
    const char* target = std::getenv("ORVEL_ARGV_DUMP");
    if (target != nullptr) {
        FILE* out = std::fopen(target, "wb");
        if (out == nullptr)
            return 2;
        for (int i = 1; i < argc; ++i)
            std::fprintf(out, "%zu\n%s\n", std::strlen(argv[i]), argv[i]);
        std::fclose(out);
    }
    const char* code = std::getenv("ORVEL_ARGV_EXIT");
    return code != nullptr ? std::atoi(code) : 0;
}
