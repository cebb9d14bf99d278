/* Runs one command and records its wall time, peak memory and exit status.
 *
 *   run_measure RESULTFILE OUTPUTFILE COMMAND [ARGS...]
 * appends "seconds maxrss_kib status" to RESULTFILE; the command's stdout and
 * stderr go to OUTPUTFILE (never a pipe: Wine's background processes would
 * inherit it and hold it open).
 *
 * Peak memory is the largest resident set of the command's process, from
 * wait4's rusage. `wine X.exe` execs the loader and the preloader in the same
 * Unix process, which then maps and runs X.exe itself, so this is the Windows
 * process's peak working set: Wine's own GetProcessMemoryInfo reports
 * PeakWorkingSetSize from the same kernel figure (VmHWM). Processes the
 * program starts are not counted: Wine detaches them from this one. */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static double now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: %s RESULTFILE OUTPUTFILE COMMAND [ARGS...]\n", argv[0]);
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
  if (wait4(child, &status, 0, &usage) != child) return 2;
  const double after = now();
  FILE* result = fopen(argv[1], "a");
  if (!result) return 2;
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  fprintf(result, "%.6f %ld %d\n", after - before, usage.ru_maxrss, code);
  fclose(result);
  return 0;
}
