/* The native reference for the size walk: the same tree walked on the host
 * with nftw, sizes summed the way the setup sums them (regular files only,
 * links not followed).
 *
 *   nftw_walk DIR ROUNDS OUTFILE
 * appends one line per round to OUTFILE: "seconds KiB files". */
#define _XOPEN_SOURCE 700
#include <ftw.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static uint64_t total_bytes;
static long total_files;

static int visit(const char* path, const struct stat* st, int type, struct FTW* ftw) {
  (void)path;
  (void)ftw;
  if (type == FTW_F) {
    total_bytes += (uint64_t)st->st_size;
    ++total_files;
  }
  return 0;
}

static double now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "usage: %s DIR ROUNDS OUTFILE\n", argv[0]);
    return 2;
  }
  const int rounds = atoi(argv[2]);
  FILE* out = fopen(argv[3], "a");
  if (!out || rounds < 1) return 2;
  /* Timed from the first walk, as the Win32 walks are; the caller's earlier
   * untimed pass has warmed the host's caches for all three. */
  for (int round = 0; round < rounds; ++round) {
    total_bytes = 0;
    total_files = 0;
    const double before = now();
    if (nftw(argv[1], visit, 64, FTW_PHYS) != 0) return 1;
    const double after = now();
    fprintf(out, "%.9f %llu %ld\n", after - before, (unsigned long long)(total_bytes / 1024),
            total_files);
  }
  fclose(out);
  return 0;
}
