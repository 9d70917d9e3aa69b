// A private Xvfb for tests that click: no other test moving the shared
// pointer at the same time can steal their clicks. DISPLAY points at it while
// it runs (editors open their own connection through DISPLAY).
#pragma once

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

class PrivateXServer
{
  public:
    bool start()
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        pid = fork();
        if (pid == 0)
        {
            close(fds[0]);
            const std::string fd = std::to_string(fds[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
                   "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        if (pid < 0)
        {
            close(fds[0]);
            return false;
        }
        // Xvfb writes its display number and a newline once it accepts clients.
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c;
        while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.empty())
        {
            stop();
            return false;
        }
        const char* old = std::getenv("DISPLAY");
        hadDisplay = old != nullptr;
        if (old)
            previous = old;
        setenv("DISPLAY", (":" + number).c_str(), 1);
        return true;
    }

    void stop()
    {
        if (pid > 0)
        {
            kill(pid, SIGTERM);
            waitpid(pid, nullptr, 0);
            pid = -1;
            if (hadDisplay)
                setenv("DISPLAY", previous.c_str(), 1);
            else
                unsetenv("DISPLAY");
        }
    }

  private:
    pid_t pid = -1;
    bool hadDisplay = false;
    std::string previous;
};
