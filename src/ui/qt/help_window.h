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

// Shows pages of a CHM file; links, images and style sheets come from it too.
class ChmBrowser : public QTextBrowser {
 public:
  explicit ChmBrowser(QWidget* parent) : QTextBrowser(parent) {}
  void setFile(const help::ChmFile* file) { file_ = file; }
  void showPage(const std::string& local);
  QVariant loadResource(int type, const QUrl& name) override;

 private:
  const help::ChmFile* file_ = nullptr;
};

class HelpWindow : public QWidget {
 public:
  HelpWindow();
  // Opens the help file and shows its first page; false (and nothing
  // shown) when it cannot be read.
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
  void displayTableOfContents(const std::string& chmPath) override;
  HelpWindow& window() { return window_; }

 private:
  HelpWindow window_;
};

}  // namespace varnel::qtui
