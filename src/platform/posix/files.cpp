// Host files: POSIX descriptors behind the seam's read and write handles.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/platform.h"
#include "platform/posix/host_state.h"

// Descriptors are offset by one so that no live handle is ever 0 (the work area's "nothing yet").
static FileHandle ToHandle(int fd) { return fd < 0 ? NoFile : static_cast<FileHandle>(fd) + 1; }
static int ToDescriptor(FileHandle handle) { return static_cast<int>(handle - 1); }

FileHandle OpenFileForReading(const char* path) { return ToHandle(open(path, O_RDONLY)); }

int32_t SeekFile(FileHandle file, int32_t offset, SeekOrigin origin) {
  const int whence = origin == SeekOrigin::Start ? SEEK_SET : origin == SeekOrigin::Current ? SEEK_CUR : SEEK_END;
  const off_t position = lseek(ToDescriptor(file), offset, whence);
  if (position < 0 || position > INT32_MAX) return -1;
  return static_cast<int32_t>(position);
}

int32_t ReadFile(FileHandle file, void* buffer, uint32_t count) {
  uint32_t done = 0;
  while (done < count) {
    const ssize_t got = read(ToDescriptor(file), static_cast<char*>(buffer) + done, count - done);
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<uint32_t>(got);
  }
  return static_cast<int32_t>(done);
}

void CloseReadFile(FileHandle file) { close(ToDescriptor(file)); }

FileHandle CreateOutputFile(const char* path) { return ToHandle(open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644)); }

bool WriteOutputFile(FileHandle file, const void* data, uint32_t length, uint32_t* written) {
  int64_t& writable = host::State().writableBytes;
  uint32_t allowed = length;
  if (writable >= 0 && writable < length) allowed = static_cast<uint32_t>(writable);
  uint32_t done = 0;
  while (done < allowed) {
    const ssize_t put = write(ToDescriptor(file), static_cast<const char*>(data) + done, allowed - done);
    if (put <= 0) break;
    done += static_cast<uint32_t>(put);
  }
  if (writable >= 0) writable -= done;
  *written = done;
  return true;
}

bool CloseOutputFile(FileHandle file) { return close(ToDescriptor(file)) == 0; }

bool DeleteFileAt(const char* path) { return unlink(path) == 0; }
