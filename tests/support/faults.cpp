#include "support/faults.h"

#include <algorithm>

namespace varnel::test {

#ifndef _WIN32
FileSizeLimit::FileSizeLimit(long bytes) : active_(bytes >= 0) {
  if (!active_) return;
  ::getrlimit(RLIMIT_FSIZE, &saved_);
  rlimit lowered = saved_;
  lowered.rlim_cur = static_cast<rlim_t>(bytes);
  ::setrlimit(RLIMIT_FSIZE, &lowered);
  savedHandler_ = std::signal(SIGXFSZ, SIG_IGN);
}

FileSizeLimit::~FileSizeLimit() {
  if (!active_) return;
  ::setrlimit(RLIMIT_FSIZE, &saved_);
  std::signal(SIGXFSZ, savedHandler_);
}
#endif

int32_t FailingStream::read(uint8_t* buffer, int32_t count) {
  if (inner_.position() + count > failAt_) {
    const int32_t got = inner_.read(
        buffer, static_cast<int32_t>(std::max<int64_t>(0, failAt_ - inner_.position())));
    if (truncated_) return got;
    throw StreamError("Input/output error");
  }
  return inner_.read(buffer, count);
}

}  // namespace varnel::test
