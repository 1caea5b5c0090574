// stub-layout FILE: re-lays out a linked stub in place, replacing the file atomically.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "stub_layout.h"

namespace {

bool ReadWholeFile(const char* path, std::vector<uint8_t>& bytes, struct stat& info) {
  const int fd = open(path, O_RDONLY);
  if (fd < 0) return false;
  bool ok = fstat(fd, &info) == 0;
  uint8_t buffer[65536];
  while (ok) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
  const int savedErrno = errno;
  close(fd);
  errno = savedErrno;
  return ok;
}

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

// Writes a temporary file beside the target and renames it over the target, so a failure leaves the old file.
bool ReplaceFile(const std::string& path, const std::vector<uint8_t>& bytes, mode_t mode) {
  std::string temporary = path + ".layout-XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return false;
  bool ok = fchmod(fd, mode & 07777) == 0 && WriteAll(fd, bytes) && fsync(fd) == 0;
  int failure = ok ? 0 : errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    failure = errno;
  }
  if (ok && rename(temporary.c_str(), path.c_str()) != 0) {
    ok = false;
    failure = errno;
  }
  if (!ok) {
    unlink(temporary.c_str());
    errno = failure;
  }
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: stub-layout FILE\n");
    return 2;
  }
  const char* path = argv[1];
  std::vector<uint8_t> bytes;
  struct stat info {};
  if (!ReadWholeFile(path, bytes, info)) {
    std::fprintf(stderr, "stub-layout: cannot read %s: %s\n", path, std::strerror(errno));
    return 1;
  }
  const StubLayoutResult result = LayOutStub(bytes);
  if (!result.error.empty()) {
    std::fprintf(stderr, "stub-layout: %s: %s\n", path, result.error.c_str());
    return 1;
  }
  if (!ReplaceFile(path, result.image, info.st_mode)) {
    std::fprintf(stderr, "stub-layout: cannot write %s: %s\n", path, std::strerror(errno));
    return 1;
  }
  return 0;
}
