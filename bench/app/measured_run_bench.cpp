// Runs a program to its end and prints its wall time in seconds and its peak
// resident memory in KiB ("SECONDS KIB"), ending with the program's status.
//
// The start-up benchmark measures through this small process instead of
// spawning the program itself: a child's peak as wait4 reports it includes
// the memory of the process it was forked or spawned from, and the
// benchmark's own is larger than a bare Qt program's.
//
//   wbx_bench_measured_run PROGRAM [ARGUMENT...]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) return 2;
    if (pid == 0) {
        ::execv(argv[1], argv + 1);
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) != pid) return 2;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.6f %ld\n", seconds, usage.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 2;
}
