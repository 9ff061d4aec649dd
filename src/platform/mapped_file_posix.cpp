#include <fcntl.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/mapped_file.hpp"

namespace modrake {

namespace {

// A page of a mapped file that cannot be read: zeros take its place, so that
// the reader lives on to find out. Any other bus error ends the process as it
// would have without this handler.
void OnBusError(int signal, siginfo_t* info, void*) {
  if (info->si_code == BUS_ADRERR) {
    const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    void* at = reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(info->si_addr) / page * page);
    if (::mmap(at, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) !=
        MAP_FAILED) {
      return;
    }
  }
  ::signal(signal, SIG_DFL);
}

void CatchBusErrors() {
  struct sigaction action {};
  action.sa_sigaction = OnBusError;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_SIGINFO | SA_RESTART;
  ::sigaction(SIGBUS, &action, nullptr);
}

}  // namespace

std::shared_ptr<MappedFile> MappedFile::Map(const std::filesystem::path& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
    ::close(fd);
    return nullptr;
  }
  const auto size = static_cast<size_t>(st.st_size);
  void* data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE, fd, 0);
  if (data == MAP_FAILED) {
    ::close(fd);
    return nullptr;
  }
  CatchBusErrors();
  std::shared_ptr<MappedFile> mapped(new MappedFile());
  mapped->path_ = path;
  mapped->data_ = static_cast<uint8_t*>(data);
  mapped->size_ = size;
  mapped->file_ = fd;
  mapped->modified_ = st.st_mtim.tv_sec;
  mapped->modifiedNsec_ = st.st_mtim.tv_nsec;
  return mapped;
}

MappedFile::~MappedFile() {
  if (data_) ::munmap(data_, size_);
  if (file_ >= 0) ::close(static_cast<int>(file_));
}

namespace {
// Whether every page of [start, end) is still mapped from the file with that
// inode: a page that could not be read (past a new end of the file, or on a
// failing disk) was replaced by zeros, a mapping of another kind. Where the
// system does not tell, the pages count as the file's.
bool MappedFromFile(uintptr_t start, uintptr_t end, ino_t inode) {
  std::ifstream maps("/proc/self/maps");
  std::string line;
  while (std::getline(maps, line)) {
    // "start-end perms offset device inode path"
    std::istringstream fields(line);
    uintptr_t from = 0, to = 0;
    char dash = 0;
    std::string perms, offset, device;
    unsigned long long node = 0;
    fields >> std::hex >> from >> dash >> to >> perms >> offset >> device >> std::dec >> node;
    if (!fields || to <= start || from >= end) continue;
    if (node != static_cast<unsigned long long>(inode)) return false;
  }
  return true;
}
}  // namespace

bool MappedFile::Intact() const {
  // Not the change time: a backup's hard link of the file changes it too.
  struct stat st {};
  if (::fstat(static_cast<int>(file_), &st) != 0 || static_cast<size_t>(st.st_size) != size_ ||
      st.st_mtim.tv_sec != modified_ || st.st_mtim.tv_nsec != modifiedNsec_) {
    return false;
  }
  const auto start = reinterpret_cast<uintptr_t>(data_);
  return MappedFromFile(start, start + size_, st.st_ino);
}

}  // namespace modrake
