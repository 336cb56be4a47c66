// The floor of the benchmark: the least any walk of the tree can cost. One
// listing per folder (opendir/readdir) and one fstatat per entry, nothing
// else; prints the number of files and folders and their total size.
//
// usage: trawl_floorwalk DIR

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

unsigned long long files = 0, folders = 0, bytes = 0;

void walk(int dirFd)
{
    DIR* dir = fdopendir(dirFd);
    if (!dir) {
        close(dirFd);
        return;
    }
    while (dirent* entry = readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        struct stat st;
        if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            ++folders;
            const int child = openat(dirfd(dir), entry->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (child >= 0)
                walk(child);
        } else {
            ++files;
            bytes += static_cast<unsigned long long>(st.st_size);
        }
    }
    closedir(dir);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    const int root = open(argv[1], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) {
        std::perror(argv[1]);
        return 1;
    }
    walk(root);
    std::printf("files %llu folders %llu bytes %llu\n", files, folders, bytes);
    return 0;
}
