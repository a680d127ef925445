/* A host built against an installed ZoleHead: writes a sample file into the
 * directory it is given, reads it with each reader and checks what comes back.
 * Exits non-zero on any mismatch. */
#include <ZoleHead.h>
#include <stdio.h>
#include <string.h>

static int failures = 0;

static void expect(const char *reader, int32_t slot, int32_t status, const char *value) {
    char got[128];
    int32_t got_status = zhGetZoleHeaderValue(slot, got, zhGetZoleHeaderValueSize());
    if (got_status != status || strcmp(got, value) != 0) {
        fprintf(stderr, "%s, slot %d: got status %d \"%s\", want %d \"%s\"\n", reader, (int)slot, (int)got_status,
                got, (int)status, value);
        ++failures;
    }
}

int main(int argc, char **argv) {
    /* 曲名：桜 (Shift_JIS), a form B genre, and a form B title after them. */
    static const char sample[] = "\x8B\xC8\x96\xBC\x81\x46\x8D\xF7\r\n*Genre \"Pop\"\r\n";
    static const char title_b[] = "*Title 'Sakura'\r\n";
    char path[4096];
    int32_t version[4];
    FILE *f;

    if (argc != 2) {
        fprintf(stderr, "usage: %s DIRECTORY\n", argv[0]);
        return 2;
    }
    snprintf(path, sizeof path, "%s/consumer-sample.zole", argv[1]);
    f = fopen(path, "wb");
    if (!f || fputs(sample, f) == EOF || fclose(f) != 0) {
        perror(path);
        return 2;
    }

    zhGetZoleHeadDllVersion(&version[0], &version[1], &version[2], &version[3]);
    if (version[0] != 1) {
        fprintf(stderr, "library version %d, want 1\n", (int)version[0]);
        ++failures;
    }
    if (zhGetZoleHeaderA(path) != 1) ++failures;
    expect("form A", 0, ZH_STATUS_FORM_A, "\x8D\xF7");
    expect("form A", 1, ZH_STATUS_NONE, "");
    if (zhGetZoleHeaderB(path) != 1) ++failures;
    expect("form B", 0, ZH_STATUS_NONE, "");
    expect("form B", 1, ZH_STATUS_FORM_B, "Pop");

    f = fopen(path, "ab");
    if (!f || fputs(title_b, f) == EOF || fclose(f) != 0) {
        perror(path);
        return 2;
    }
    if (zhGetZoleHeader(path) != 1) ++failures;
    expect("both", 0, ZH_STATUS_FORM_B, "Sakura");
    expect("both", 1, ZH_STATUS_FORM_B, "Pop");

    remove(path);
    if (zhGetZoleHeader(path) != 0) ++failures;
    expect("missing file", 0, ZH_STATUS_NONE, "");

    if (failures) return 1;
    printf("zolehead_consumer: ok (ZoleHead %d.%d.%d.%d)\n", (int)version[0], (int)version[1], (int)version[2],
           (int)version[3]);
    return 0;
}
