// Stands in for tarnwick where a test hands an address over: records how it was started in
// <its own folder>/launches/<pid>: a first line "detached" or "attached" (its own session, with
// none of its starter's pipes), then each argument followed by a NUL byte.
#include <climits>
#include <cstdio>
#include <cstdlib>
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

} // namespace

int main(int argc, char* argv[]) {
    char self[PATH_MAX] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        return 1;
    std::string folder(self);
    folder = folder.substr(0, folder.rfind('/')) + "/launches";
    mkdir(folder.c_str(), 0700);

    const bool detached = getsid(0) == getpid() && IsDevNull(0) && IsDevNull(1);
    std::string record = detached ? "detached\n" : "attached\n";
    for (int i = 1; i < argc; ++i) {
        record += argv[i];
        record += '\0';
    }
    // Written whole under a temporary name, so a reader never sees half a record.
    const std::string path = folder + "/" + std::to_string(getpid());
    const std::string temporary = path + ".part";
    FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr)
        return 1;
    const bool written = std::fwrite(record.data(), 1, record.size(), file) == record.size();
    if (std::fclose(file) != 0 || !written)
        return 1;
    return std::rename(temporary.c_str(), path.c_str()) == 0 ? 0 : 1;
}
