/* The baseline for `zolehead set -r`: for each path on standard input (one a
 * line), read the file, write a temporary copy beside it, flush it to disk
 * and rename it over the original; then flush the directory. The least an
 * atomic rewrite of every file costs, with no planning at all.
 *
 *   find DIR -type f | sort | zolehead_copy_loop
 */
#define _POSIX_C_SOURCE 200809L
#include <fcntl.h>
#include <libgen.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

static int rewrite(const char *path, char *buffer, size_t capacity) {
    int in = open(path, O_RDONLY);
    if (in < 0) return -1;
    ssize_t size = read(in, buffer, capacity);
    close(in);
    if (size < 0) return -1;

    char temporary[4096];
    snprintf(temporary, sizeof temporary, "%s.tmpXXXXXX", path);
    int out = mkstemp(temporary);
    if (out < 0) return -1;
    if (write(out, buffer, (size_t)size) != size || fsync(out) != 0 || close(out) != 0 ||
        rename(temporary, path) != 0) {
        unlink(temporary);
        return -1;
    }
    char directory[4096];
    snprintf(directory, sizeof directory, "%s", path);
    int dir = open(dirname(directory), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return 0;
}

int main(void) {
    static char buffer[1 << 20];
    char *line = NULL;
    size_t room = 0;
    ssize_t n;
    long done = 0, failed = 0;
    while ((n = getline(&line, &room, stdin)) > 0) {
        if (line[n - 1] == '\n') line[n - 1] = '\0';
        if (rewrite(line, buffer, sizeof buffer) == 0) done++; else failed++;
    }
    free(line);
    fprintf(stderr, "rewrote %ld files, %ld failed\n", done, failed);
    return failed == 0 ? 0 : 1;
}
