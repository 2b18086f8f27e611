#include "support/gpasm.h"

#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <vector>

extern char** environ;

namespace quilla::test {

namespace {

// Runs a program found on PATH with an argument list; its output goes to
// `log`. The exit status, or -1 when it could not run.
int Run(const std::vector<std::string>& args, const std::filesystem::path& log) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &files, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    if (rc != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace

bool GpasmAvailable() {
    static const bool available = [] {
        const auto log = std::filesystem::temp_directory_path() / "quilla-gpasm-version.log";
        const bool ok = Run({"gpasm", "--version"}, log) == 0;
        std::error_code ec;
        std::filesystem::remove(log, ec);
        return ok;
    }();
    return available;
}

std::string Gpasm(const std::filesystem::path& dir, const std::string& processor, const std::string& source,
                  std::string* why) {
    const auto src = dir / (processor + ".asm");
    const auto hex = dir / (processor + ".hex");
    const auto log = dir / (processor + ".log");
    std::ofstream(src) << source;
    std::error_code ec;
    std::filesystem::remove(hex, ec);
    const auto started = std::filesystem::file_time_type::clock::now() - std::chrono::seconds(1);
    const int rc = Run({"gpasm", "-p", "p" + processor, "-o", hex.string(), src.string()}, log);
    const bool fresh = std::filesystem::exists(hex) && std::filesystem::last_write_time(hex, ec) >= started;
    if (rc == 0 && fresh) return hex.string();
    if (why) {
        std::ifstream in(log);
        std::stringstream s;
        s << "gpasm exit " << rc << ": " << in.rdbuf();
        *why = s.str();
    }
    return {};
}

}  // namespace quilla::test
