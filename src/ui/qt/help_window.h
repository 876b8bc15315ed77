// The help viewer on Qt: a window of its own (no owner) with the table of
// contents and the index on the left and the page on the right, all read
// from the compiled help file.
#pragma once

#include <QTextBrowser>
#include <QWidget>
#include <memory>

#include "help/chm_file.h"
#include "ui/help_binding.h"

class QListWidget;
class QTreeWidget;

namespace varnel::qtui {

// Shows pages of a CHM file; links, images and style sheets come from it
// too, and from nowhere else: no local file, nothing from the network.
class ChmBrowser : public QTextBrowser {
 public:
  explicit ChmBrowser(QWidget* parent) : QTextBrowser(parent) {}
  void setFile(const help::ChmFile* file) { file_ = file; }
  void showPage(const std::string& local);
  // What the help file holds under a chm: address; empty for any other
  // address or a file it does not hold.
  QVariant loadResource(int type, const QUrl& name) override;

 protected:
  // Goes to pages of the help file only: a link elsewhere does nothing.
  void doSetSource(const QUrl& name, QTextDocument::ResourceType type) override;

 private:
  const help::ChmFile* file_ = nullptr;
};

class HelpWindow : public QWidget {
 public:
  HelpWindow();
  // Opens the help file and shows its first page; false (and nothing
  // shown) when it cannot be read. Throws nothing.
  bool open(const std::string& chmPath);
  QTreeWidget* contents() const { return contents_; }
  QListWidget* index() const { return index_; }
  ChmBrowser* browser() const { return browser_; }

 private:
  void fillContents();
  void fillIndex();

  std::unique_ptr<help::ChmFile> file_;
  QTreeWidget* contents_;
  QListWidget* index_;
  ChmBrowser* browser_;
};

class QtHelpViewer : public ui::HelpViewer {
 public:
  bool displayTableOfContents(const std::string& chmPath) override;
  HelpWindow& window() { return window_; }

 private:
  HelpWindow window_;
};

}  // namespace varnel::qtui
