#include "core/progress.hpp"

#include "core/ui.hpp"

namespace modrake {

ProgressTask::ProgressTask(Progress* progress, size_t total) : progress_(progress) {
  if (!progress_) return;
  outermost_ = progress_->depth_++ == 0;
  if (outermost_) {
    progress_->done_ = 0;
    progress_->total_ = total;
  }
}

ProgressTask::~ProgressTask() {
  if (!progress_) return;
  --progress_->depth_;
  // The run is over, however it ended: nothing is worked on any more.
  if (outermost_) progress_->ui_.ShowProgress(0, 0, "");
}

void ProgressTask::Step(const std::string& item) {
  if (!progress_) return;
  if (progress_->Cancelled()) throw RunCancelled{item};
  if (outermost_) progress_->done_ = steps_++;
  progress_->ui_.ShowProgress(progress_->done_, progress_->total_, item);
}

}  // namespace modrake
