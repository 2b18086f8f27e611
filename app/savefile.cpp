#include "app/savefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits.h>

namespace quilla {

namespace {

std::string ErrorText(int err) { return std::strerror(err); }

// The folder part of `path` ("." when it names none) and its last name.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a chain of symbolic links ends at (the path itself when it is no
// link, or names nothing yet). False with errno ELOOP for a loop.
bool FollowLinks(std::string& path) {
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
        std::string target(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : PATH_MAX), '\0');
        const ssize_t n = ::readlink(path.c_str(), target.data(), target.size());
        if (n < 0) return true;  // gone meanwhile: the later steps say why
        target.resize(static_cast<std::size_t>(n));
        if (target.empty()) return true;
        path = target[0] == '/' ? target : FolderOf(path) + "/" + target;
    }
    errno = ELOOP;
    return false;
}

// Opens a new hidden file beside `target` for writing; -1 with errno on failure.
int CreateTemporary(const std::string& target, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    std::string base = NameOf(target);
    if (base.size() > 200) base.resize(200);  // leave room for the suffix within a name's limit
    const std::string stem = FolderOf(target) + "/." + base + ".save-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto tick = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
        const unsigned long long mix = tick ^ (static_cast<unsigned long long>(::getpid()) << 20) ^
                                       (static_cast<unsigned long long>(counter++) * 0x9E3779B97F4A7C15ull);
        char suffix[24];
        std::snprintf(suffix, sizeof suffix, "%012llx", mix & 0xFFFFFFFFFFFFull);
        tempPath = stem + suffix;
        // 0666: the process's file creation mask applies, as for any new file.
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = ENOSPC;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

bool WriteWholeFile(const std::string& path, std::span<const std::uint8_t> data, std::string* reason) {
    auto fail = [&](int err) {
        if (reason) *reason = ErrorText(err);
        return false;
    };
    if (path.empty()) return fail(ENOENT);
    std::string target = path;
    if (!FollowLinks(target)) return fail(errno);

    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return fail(errno);
    if (exists) {
        if (S_ISDIR(st.st_mode)) return fail(EISDIR);
        if (!S_ISREG(st.st_mode)) return fail(EPERM);
        // What a direct write would meet; and a file no one may write is kept
        // as the user marked it, also for the superuser (rename would replace
        // it whatever its bits).
        if (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return fail(errno);
        if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return fail(EACCES);
    }

    std::string temp;
    int fd = CreateTemporary(target, temp);
    if (fd < 0) return fail(errno);
    auto abandon = [&](int err) {
        if (fd >= 0) ::close(fd);
        ::unlink(temp.c_str());
        return fail(err);
    };
    if (exists) {
        // The owner and group first: changing them may clear the set-id bits.
        // Only the superuser may give a file away; the group may still be
        // one of the user's own. Neither is a reason to refuse the save.
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
            if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
                [[maybe_unused]] const int groupOnly = ::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
            }
        }
        if (::fchmod(fd, st.st_mode & 07777) != 0) return abandon(errno);
    }
    if (!WriteAll(fd, data.data(), data.size())) return abandon(errno);
    if (::fsync(fd) != 0) return abandon(errno);
    const int closed = ::close(fd);
    fd = -1;
    if (closed != 0) return abandon(errno);
    if (::rename(temp.c_str(), target.c_str()) != 0) return abandon(errno);
    // The new name on the disk as well (best effort: some file systems
    // cannot sync a folder).
    const int dir = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

std::string CannotSaveMessage(const std::string& path, const std::string& reason) {
    return "Can not save " + path + ": " + reason;
}

}  // namespace quilla
