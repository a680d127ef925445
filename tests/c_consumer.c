/* A plain C host: compiles against the header as C99, links the shared
 * library, and reads a file it writes itself. Exits non-zero on any mismatch. */
#include <stdio.h>
#include <string.h>

#include "ZoleHead.h"

static int failures = 0;

static void check(int ok, const char *what) {
    if (!ok) {
        fprintf(stderr, "c_consumer: %s\n", what);
        ++failures;
    }
}

int main(int argc, char **argv) {
    char path[4096];
    char buf[128];
    int32_t v[4];
    FILE *f;

    if (argc < 2) return 2;
    snprintf(path, sizeof path, "%s/c_consumer.zole", argv[1]);
    f = fopen(path, "wb");
    if (!f) return 2;
    /* 曲名：Sakura, then a form B genre */
    fputs("\x8B\xC8\x96\xBC\x81\x46Sakura\r\n*Genre 'Pop'\r\n", f);
    fclose(f);

    zhGetZoleHeadDllVersion(&v[0], &v[1], &v[2], &v[3]);
    check(v[0] == 1 && v[1] == 0 && v[2] == 0 && v[3] == 0, "version");
    check(zhGetZoleHeaderIdentNum() == 16, "count");
    check(zhGetZoleHeaderIdentB(1, buf, zhGetZoleHeaderIdentSize()) == 1 && strcmp(buf, "Genre") == 0, "keyword");
    check(zhGetZoleHeader(path) == 1, "read");
    check(zhGetZoleHeaderValue(0, buf, zhGetZoleHeaderValueSize()) == ZH_STATUS_FORM_A &&
              strcmp(buf, "Sakura") == 0, "title");
    check(zhGetZoleHeaderValue(1, buf, 127) == ZH_STATUS_FORM_B && strcmp(buf, "Pop") == 0, "genre");
    remove(path);
    check(zhGetZoleHeader(path) == 0, "missing file");
    check(zhGetZoleHeaderValue(0, buf, 127) == ZH_STATUS_NONE && buf[0] == '\0', "emptied");
    if (failures == 0) printf("c_consumer: ok\n");
    return failures == 0 ? 0 : 1;
}
