// The help viewer, set up on the first help request. A viewer that cannot
// be set up is never tried again, and says nothing; one that was set up
// serves every later request and tells when it could not read the file.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace varnel::ui {

class HelpViewer {
 public:
  virtual ~HelpViewer() = default;
  // Shows the help file's table of contents; false when the file cannot be
  // read (and nothing is shown).
  virtual bool displayTableOfContents(const std::string& chmPath) = 0;
};

class HelpBinding {
 public:
  // `setUp` makes the viewer, or returns null when it cannot.
  explicit HelpBinding(std::function<std::unique_ptr<HelpViewer>()> setUp)
      : setUp_(std::move(setUp)) {}

  // False only when the viewer could not read the file.
  bool request(const std::string& chmPath);
  bool failed() const { return failed_; }
  HelpViewer* viewer() const { return viewer_.get(); }

 private:
  std::function<std::unique_ptr<HelpViewer>()> setUp_;
  std::unique_ptr<HelpViewer> viewer_;
  bool failed_ = false;
};

}  // namespace varnel::ui
