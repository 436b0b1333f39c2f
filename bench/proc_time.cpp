// proc_time OUT COMMAND [ARG...]: runs COMMAND, waits for it and writes one
// line to OUT: its wall time in ms, its peak resident memory in kB and its
// processor time (user + system, its waited-for children included) in ms,
// to the microsecond, where /usr/bin/time gives hundredths of a second.
// Standard input and outputs pass through; the exit status is COMMAND's.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace {

double ms(const timeval& t) {
    return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: proc_time OUT COMMAND [ARG...]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        std::perror("fork");
        return 2;
    }
    if (pid == 0) {
        execvp(argv[2], argv + 2);
        std::perror(argv[2]);
        _exit(127);
    }
    int status = 0;
    rusage ru{};
    if (wait4(pid, &status, 0, &ru) != pid) {
        std::perror("wait4");
        return 2;
    }
    const double wall =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::FILE* out = std::fopen(argv[1], "w");
    if (!out) {
        std::perror(argv[1]);
        return 2;
    }
    std::fprintf(out, "%.3f %ld %.3f\n", wall, ru.ru_maxrss, ms(ru.ru_utime) + ms(ru.ru_stime));
    std::fclose(out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
