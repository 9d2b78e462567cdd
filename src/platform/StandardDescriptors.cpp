#include "StandardDescriptors.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

void StandardDescriptors::install() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
}

bool StandardDescriptors::inputIsTerminal() {
    return ::isatty(0) == 1;
}
