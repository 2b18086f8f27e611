#include "support/tools.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

extern char** environ;

namespace quilla::test {

bool OnPath(const std::string& tool) {
    const char* path = std::getenv("PATH");
    std::string p = path ? path : "/usr/bin:/bin";
    std::size_t s = 0;
    while (s <= p.size()) {
        std::size_t e = p.find(':', s);
        if (e == std::string::npos) e = p.size();
        if (::access((p.substr(s, e - s) + "/" + tool).c_str(), X_OK) == 0) return true;
        s = e + 1;
    }
    return false;
}

int RunTool(const std::vector<std::string>& args, const std::string& dir) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!dir.empty()) posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    pid_t pid;
    const int started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (started != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace quilla::test
