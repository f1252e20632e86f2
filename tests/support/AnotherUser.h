// Runs part of a test as a user who is not root: the tests run as root, who may write anything, so what the
// program does for a user without that right is seen only in a child process that gave it up.
#pragma once

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace testing_support {

// The ids of the unprivileged user "nobody"; nullopt, with the reason in whyNot, where this process cannot take
// them (it is not root, or there is no such user).
inline std::optional<std::pair<uid_t, gid_t>> AnotherUser(std::string& whyNot) {
  if (::geteuid() != 0) {
    whyNot = "cannot switch to another user: the test does not run as root";
    return std::nullopt;
  }
  const passwd* user = ::getpwnam("nobody");
  if (user == nullptr || user->pw_uid == 0) {
    whyNot = "cannot switch to another user: there is no user \"nobody\"";
    return std::nullopt;
  }
  return std::pair{user->pw_uid, user->pw_gid};
}

// Runs body in a child process under the ids of AnotherUser and gives back what body returned, followed by how
// the child ended should it fail to end normally. The child ends without running any clean-up of this process.
inline std::string AsAnotherUser(const std::pair<uid_t, gid_t>& ids, const std::function<std::string()>& body) {
  int report[2];
  if (::pipe(report) != 0) return std::string("no pipe: ") + std::strerror(errno);
  const pid_t child = ::fork();
  if (child < 0) return std::string("no child: ") + std::strerror(errno);
  if (child == 0) {
    ::close(report[0]);
    std::string said;
    if (::setgroups(0, nullptr) != 0 || ::setgid(ids.second) != 0 || ::setuid(ids.first) != 0) {
      said = std::string("could not switch user: ") + std::strerror(errno);
    } else {
      try {
        said = body();
      } catch (const std::exception& failure) {
        said = std::string("raised: ") + failure.what();
      } catch (...) {
        said = "raised something";
      }
    }
    for (size_t done = 0; done < said.size();) {
      const ssize_t n = ::write(report[1], said.data() + done, said.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    ::_exit(0);
  }
  ::close(report[1]);
  std::string said;
  char buffer[512];
  for (ssize_t n; (n = ::read(report[0], buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    said.append(buffer, static_cast<size_t>(n));
  }
  ::close(report[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    said += " (the child ended with status " + std::to_string(status) + ")";
  return said;
}

}  // namespace testing_support
