// Times the setup's own size walk, DirectorySizeKb, inside the process with
// QueryPerformanceCounter: the process start is left out, so the figure is
// the walk alone.
//
//   size_walk_bench.exe DIR ROUNDS OUTFILE
// appends one line per round to OUTFILE: "seconds KiB". The result goes to a
// file, not stdout: Wine's stdout would reach a pipe the caller waits on.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "discovery/installed_size_win.h"

using namespace vespodar;

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s DIR ROUNDS OUTFILE\n", argv[0]);
    return 2;
  }
  const std::string directory = argv[1];
  const int rounds = std::atoi(argv[2]);
  std::FILE* out = std::fopen(argv[3], "a");
  if (!out || rounds < 1) return 2;

  LARGE_INTEGER frequency;
  QueryPerformanceFrequency(&frequency);
  // No untimed walk first: the installer walks once per run, so the first
  // walk in a process, with whatever it pays for first, is the one that
  // counts. The host's caches are warmed by the caller's earlier runs.
  for (int round = 0; round < rounds; ++round) {
    LARGE_INTEGER before, after;
    QueryPerformanceCounter(&before);
    const std::int32_t kb = DirectorySizeKb(directory);
    QueryPerformanceCounter(&after);
    if (kb < 0) {
      std::fprintf(out, "error: %s is no directory\n", directory.c_str());
      std::fclose(out);
      return 1;
    }
    std::fprintf(out, "%.9f %ld\n",
                 static_cast<double>(after.QuadPart - before.QuadPart) / frequency.QuadPart,
                 static_cast<long>(kb));
  }
  std::fclose(out);
  return 0;
}
