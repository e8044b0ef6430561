#include "engine/video.h"

#include <unistd.h>

#include <climits>
#include <cstdio>

int main() {
    SetWorkingDirectoryToProgram();
    char folder[PATH_MAX];
    if (getcwd(folder, sizeof folder) == nullptr) {
        return 1;
    }
    std::printf("%s\n", folder);
    return 0;
}
