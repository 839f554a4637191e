/* The floor a conversion is measured against: the least work any converter
 * must do on the same files. For each source it reads the file with read()
 * in 1 MiB blocks, passes every block once through a 256-byte table, and
 * writes three outputs (or four) of the sizes the converter wrote, with
 * write() in 1 MiB blocks, every output byte copied in user space (memcpy)
 * first.
 *
 *   floor LIST
 *
 * LIST holds one source a line: "TXT ACC RTF PATH", the three output sizes
 * in bytes, then the path (which may hold spaces), or "TXT ACC RTF +UNI
 * PATH" for a fourth output of UNI bytes. The outputs are PATH.f1, PATH.f2,
 * PATH.f3 and, with a fourth size, PATH.f4. Buffers are allocated once for
 * all sources, the fourth's only once a line asks for it. */

#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

enum { blockSize = 1 << 20, mostOutputs = 4 };

static unsigned char table[256];
static unsigned char* source;
static unsigned char* staging[mostOutputs];

struct Output {
    int fd;
    unsigned long long total;   /* bytes this output must hold */
    unsigned long long written; /* bytes handed to staging so far */
    size_t staged;              /* bytes waiting in staging */
};

static void fail(const char* what, const char* path) {
    fprintf(stderr, "floor: %s: %s: %s\n", what, path, strerror(errno));
    exit(1);
}

static void writeAll(int fd, const unsigned char* bytes, size_t size, const char* path) {
    while (size != 0) {
        const ssize_t done = write(fd, bytes, size);
        if (done < 0) {
            if (errno == EINTR)
                continue;
            fail("write", path);
        }
        bytes += done;
        size -= (size_t)done;
    }
}

/* Copies bytes from the translated block into the output's staging block
 * until the output has its share, writing each full block. */
static void produce(struct Output* out, unsigned char* stage, unsigned long long upTo,
                    const unsigned char* from, size_t fromSize, const char* path) {
    size_t at = 0;
    while (out->written < upTo) {
        size_t n = blockSize - out->staged;
        if (n > upTo - out->written)
            n = (size_t)(upTo - out->written);
        if (n > fromSize - at)
            n = fromSize - at;
        memcpy(stage + out->staged, from + at, n);
        out->staged += n;
        out->written += n;
        at = at + n == fromSize ? 0 : at + n;
        if (out->staged == blockSize) {
            writeAll(out->fd, stage, out->staged, path);
            out->staged = 0;
        }
    }
}

static void convertOne(const char* path, const unsigned long long totals[mostOutputs],
                       int outputs) {
    static const char* const suffixes[mostOutputs] = {".f1", ".f2", ".f3", ".f4"};
    static char name[8192];
    struct Output out[mostOutputs];
    const int in = open(path, O_RDONLY | O_CLOEXEC);
    if (in < 0)
        fail("open", path);
    for (int i = 0; i < outputs; ++i) {
        snprintf(name, sizeof name, "%s%s", path, suffixes[i]);
        out[i].fd = open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (out[i].fd < 0)
            fail("create", name);
        out[i].total = totals[i];
        out[i].written = 0;
        out[i].staged = 0;
    }
    /* Each output grows with the source read so far: streaming, as a real
     * converter would; the block that reaches the size seen by fstat completes
     * every output, and reading goes on to the end of the file, as it must. */
    struct stat status;
    if (fstat(in, &status) != 0)
        fail("stat", path);
    const unsigned long long size = (unsigned long long)status.st_size;
    unsigned long long consumed = 0;
    size_t got = 0;
    for (;;) {
        ssize_t n = read(in, source, blockSize);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail("read", path);
        }
        got = (size_t)n;
        if (got == 0)
            break;
        for (size_t i = 0; i < got; ++i)
            source[i] = table[source[i]];
        consumed += got;
        const int last = consumed >= size;
        for (int i = 0; i < outputs; ++i) {
            const unsigned long long share =
                last ? out[i].total : (unsigned long long)((double)out[i].total * consumed / size);
            produce(&out[i], staging[i], share, source, got, path);
        }
    }
    if (close(in) != 0)
        fail("close", path);
    for (int i = 0; i < outputs; ++i) {
        if (out[i].staged != 0)
            writeAll(out[i].fd, staging[i], out[i].staged, path);
        if (close(out[i].fd) != 0)
            fail("close", path);
    }
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fputs("usage: floor LIST\n", stderr);
        return 2;
    }
    for (int b = 0; b < 256; ++b)
        table[b] = (unsigned char)(b ^ 0x20);
    source = malloc(blockSize);
    for (int i = 0; i < 3; ++i)
        staging[i] = malloc(blockSize);
    FILE* list = strcmp(argv[1], "-") == 0 ? stdin : fopen(argv[1], "r");
    if (list == NULL || source == NULL)
        fail("open", argv[1]);
    char* line = NULL;
    size_t capacity = 0;
    ssize_t length;
    while ((length = getline(&line, &capacity, list)) > 0) {
        if (line[length - 1] == '\n')
            line[length - 1] = '\0';
        unsigned long long totals[mostOutputs];
        int pathAt = 0, fourthAt = 0, outputs = 3;
        if (sscanf(line, "%llu %llu %llu %n", &totals[0], &totals[1], &totals[2], &pathAt) != 3 ||
            line[pathAt] == '\0') {
            fprintf(stderr, "floor: bad line in %s: %s\n", argv[1], line);
            return 2;
        }
        if (line[pathAt] == '+') {
            if (sscanf(line + pathAt + 1, "%llu %n", &totals[3], &fourthAt) != 1 ||
                line[pathAt + 1 + fourthAt] == '\0') {
                fprintf(stderr, "floor: bad line in %s: %s\n", argv[1], line);
                return 2;
            }
            pathAt += 1 + fourthAt;
            outputs = 4;
            if (staging[3] == NULL && (staging[3] = malloc(blockSize)) == NULL)
                fail("allocate", argv[1]);
        }
        convertOne(line + pathAt, totals, outputs);
    }
    free(line);
    return 0;
}
