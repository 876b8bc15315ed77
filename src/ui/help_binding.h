// The help viewer, set up on the first help request. A viewer that cannot
// be set up is never tried again; one that was set up serves every later
// request. Nothing is ever reported.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace varnel::ui {

class HelpViewer {
 public:
  virtual ~HelpViewer() = default;
  // Shows the help file's table of contents; silent when the file is
  // missing or unreadable.
  virtual void displayTableOfContents(const std::string& chmPath) = 0;
};

class HelpBinding {
 public:
  // `setUp` makes the viewer, or returns null when it cannot.
  explicit HelpBinding(std::function<std::unique_ptr<HelpViewer>()> setUp)
      : setUp_(std::move(setUp)) {}

  void request(const std::string& chmPath);
  bool failed() const { return failed_; }
  HelpViewer* viewer() const { return viewer_.get(); }

 private:
  std::function<std::unique_ptr<HelpViewer>()> setUp_;
  std::unique_ptr<HelpViewer> viewer_;
  bool failed_ = false;
};

}  // namespace varnel::ui
