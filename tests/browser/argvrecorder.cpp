// Stands in for tarnwick where a test hands an address over: records how it was started in
// <its own folder>/launches/<pid>: a first line "detached" or "attached" (its own session, with
// none of its starter's pipes), then each argument followed by a NUL byte. Started with
// "--cookies-from-stdin" it reads its standard input, a pipe of its own, into <pid>.input; its
// environment goes to <pid>.environ, so that a test can look for what must not be there.
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsDevNull(int fd) {
    struct stat null {};
    struct stat other {};
    return stat("/dev/null", &null) == 0 && fstat(fd, &other) == 0 && null.st_rdev == other.st_rdev &&
           S_ISCHR(other.st_mode);
}

bool IsPipe(int fd) {
    struct stat other {};
    return fstat(fd, &other) == 0 && S_ISFIFO(other.st_mode);
}

bool WriteWhole(const std::string& path, const std::string& data) {
    // Written under a temporary name, so a reader never sees half a record.
    const std::string temporary = path + ".part";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(data.data(), 1, data.size(), file) == data.size();
    return std::fclose(file) == 0 && written && std::rename(temporary.c_str(), path.c_str()) == 0;
}

} // namespace

extern char** environ;

int main(int argc, char* argv[]) {
    char self[PATH_MAX] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        return 1;
    std::string folder(self);
    folder = folder.substr(0, folder.rfind('/')) + "/launches";
    mkdir(folder.c_str(), 0700);

    const bool cookiesOnInput = argc > 1 && std::strcmp(argv[1], "--cookies-from-stdin") == 0;
    const bool detached =
        getsid(0) == getpid() && (cookiesOnInput ? IsPipe(0) : IsDevNull(0)) && IsDevNull(1);
    std::string record = detached ? "detached\n" : "attached\n";
    for (int i = 1; i < argc; ++i) {
        record += argv[i];
        record += '\0';
    }
    const std::string path = folder + "/" + std::to_string(getpid());
    std::string environment;
    for (char** variable = environ; *variable != nullptr; ++variable)
        environment += std::string(*variable) + '\0';
    std::string input;
    char buffer[4096];
    for (size_t read = 0; cookiesOnInput && (read = std::fread(buffer, 1, sizeof buffer, stdin)) > 0;)
        input.append(buffer, read);
    // The record comes last: once it is there, so are the others.
    const bool written = WriteWhole(path + ".environ", environment) &&
                         (!cookiesOnInput || WriteWhole(path + ".input", input)) && WriteWhole(path, record);
    return written ? 0 : 1;
}
