/* Runs one command and records its wall time, peak memory and exit status.
 *
 *   run_measure [--anon] RESULTFILE OUTPUTFILE COMMAND [ARGS...]
 * appends "seconds maxrss_kib status" to RESULTFILE; the command's stdout and
 * stderr go to OUTPUTFILE (never a pipe: Wine's background processes would
 * inherit it and hold it open). With --anon a fourth column follows: the
 * largest RssAnon of the process seen in /proc/PID/status, read every 2 ms.
 *
 * Peak memory is the largest resident set of the command's process, from
 * wait4's rusage. `wine X.exe` execs the loader and the preloader in the same
 * Unix process, which then maps and runs X.exe itself, so this is the Windows
 * process's peak working set: Wine's own GetProcessMemoryInfo reports
 * PeakWorkingSetSize from the same kernel figure (VmHWM). Processes the
 * program starts are not counted: Wine detaches them from this one.
 *
 * The resident set counts file-backed pages too: a program that maps a file
 * and reads it through shows the file's size there, though the system can
 * drop those pages at any time. RssAnon is the process's private memory
 * alone (its heap, stacks, the decoder's buffers, written copies of mapped
 * pages). The kernel keeps no high-water mark of it, so it is sampled: a peak
 * shorter than the 2 ms between two reads can be missed, a buffer that is
 * held while a package is decoded cannot. */
#define _GNU_SOURCE
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

/* RssAnon of PID in KiB, or -1 once it can no longer be read. */
static long rss_anon_kib(const char* status_path) {
  FILE* status = fopen(status_path, "r");
  if (!status) return -1;
  char line[256];
  long kib = -1;
  while (fgets(line, sizeof line, status)) {
    if (strncmp(line, "RssAnon:", 8) == 0) {
      kib = strtol(line + 8, NULL, 10);
      break;
    }
  }
  fclose(status);
  return kib;
}

int main(int argc, char** argv) {
  int anon = 0;
  if (argc > 1 && strcmp(argv[1], "--anon") == 0) {
    anon = 1;
    ++argv;
    --argc;
  }
  if (argc < 4) {
    fprintf(stderr, "usage: %s [--anon] RESULTFILE OUTPUTFILE COMMAND [ARGS...]\n", argv[0]);
    return 2;
  }
  const double before = now();
  const pid_t child = fork();
  if (child < 0) return 2;
  if (child == 0) {
    const int output = open(argv[2], O_WRONLY | O_CREAT | O_APPEND, 0644);
    const int nothing = open("/dev/null", O_RDONLY);
    if (output < 0 || nothing < 0) _exit(127);
    dup2(nothing, 0);
    dup2(output, 1);
    dup2(output, 2);
    execvp(argv[3], argv + 3);
    _exit(127);
  }
  int status = 0;
  struct rusage usage;
  long anon_peak = 0;
  if (anon) {
    char status_path[64];
    snprintf(status_path, sizeof status_path, "/proc/%d/status", (int)child);
    const struct timespec pause = {0, 2000000};
    for (;;) {
      const long kib = rss_anon_kib(status_path);
      if (kib > anon_peak) anon_peak = kib;
      const pid_t done = wait4(child, &status, WNOHANG, &usage);
      if (done == child) break;
      if (done < 0 && errno != EINTR) return 2;
      nanosleep(&pause, NULL);
    }
  } else if (wait4(child, &status, 0, &usage) != child) {
    return 2;
  }
  const double after = now();
  FILE* result = fopen(argv[1], "a");
  if (!result) return 2;
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (anon)
    fprintf(result, "%.6f %ld %d %ld\n", after - before, usage.ru_maxrss, code, anon_peak);
  else
    fprintf(result, "%.6f %ld %d\n", after - before, usage.ru_maxrss, code);
  fclose(result);
  return 0;
}
