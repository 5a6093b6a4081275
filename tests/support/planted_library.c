/* A library that leaves "planted-library-loaded" in the current folder when anything loads it,
 * for checking that libraries are never taken from where the user happens to work. */
#include <fcntl.h>
#include <unistd.h>

__attribute__((constructor)) static void LeaveMark(void) {
    const int fd = open("planted-library-loaded", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd >= 0) {
        close(fd);
    }
}
