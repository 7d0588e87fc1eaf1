// A child that has ended but that its parent has not collected yet: its id
// still answers kill(pid, 0), so it shows whether a call tells an ended
// process from a running one. The test collects it with waitpid.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <sys/types.h>
#include <unistd.h>

namespace plat::testing {

// Forks the child and waits until it is a zombie; a fatal failure when it
// cannot be made or does not end in time.
inline void MakeZombie(pid_t* zombie)
{
    *zombie = fork();
    ASSERT_GE(*zombie, 0);
    if (*zombie == 0)
        _exit(0);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (;;) {
        std::ifstream stat("/proc/" + std::to_string(*zombie) + "/stat");
        std::string text;
        std::getline(stat, text);
        if (text.find(") Z") != std::string::npos)
            break;
        ASSERT_LT(std::chrono::steady_clock::now(), limit);
        std::this_thread::yield();
    }
}

} // namespace plat::testing
