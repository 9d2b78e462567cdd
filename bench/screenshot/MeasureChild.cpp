// Runs one command and prints its wall time and its CPU time (user and system) in milliseconds, its
// peak resident size in kilobytes and whether it succeeded. A small process of its own does the spawning: a
// child's peak resident size starts from its parent's at the moment of the exec, so the benchmark (which
// holds its pictures) must not be that parent.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>

extern char** environ;

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s COMMAND [ARGS...]\n", argv[0]);
        return 2;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", 01, 0); // O_WRONLY
    pid_t pid = 0;
    const auto start = std::chrono::steady_clock::now();
    if (posix_spawnp(&pid, argv[1], &actions, nullptr, argv + 1, environ) != 0)
        return 1;
    int status = 0;
    struct rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid)
        return 1;
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const double cpu = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
                       (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
    std::printf("%.3f %.3f %ld %d\n", ms, cpu, usage.ru_maxrss,
                WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 1 : 0);
    return 0;
}
