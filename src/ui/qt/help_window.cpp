#include "ui/qt/help_window.h"

#include <QHeaderView>
#include <QListWidget>
#include <QShortcut>
#include <QSplitter>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/qt/narrow_text.h"

namespace varnel::qtui {
namespace {

constexpr int kPageRole = Qt::UserRole;
constexpr const char* kScheme = "chm";

QUrl pageUrl(const std::string& local) {
  QUrl url;
  url.setScheme(kScheme);
  const QString path = fromNarrow(local);
  const int hash = path.indexOf('#');
  url.setPath("/" + (hash < 0 ? path : path.left(hash)));
  if (hash >= 0) url.setFragment(path.mid(hash + 1));
  return url;
}

}  // namespace

void ChmBrowser::showPage(const std::string& local) {
  setSource(pageUrl(local));
}

// Never a null value: given none, the document would read a local file of
// that name itself.
QVariant ChmBrowser::loadResource(int type, const QUrl& name) {
  const bool text =
      type == QTextDocument::HtmlResource || type == QTextDocument::StyleSheetResource;
  try {
    if (file_ != nullptr && name.scheme() == kScheme) {
      if (const auto contents = file_->read(toNarrow(name.path()))) {
        const QByteArray bytes = QByteArray::fromStdString(*contents);
        return text ? QVariant(QString::fromUtf8(bytes)) : QVariant(bytes);
      }
    }
  } catch (...) {
    // Out of memory for a page: it stays empty.
  }
  return text ? QVariant(QString("")) : QVariant(QByteArray(""));
}

void ChmBrowser::doSetSource(const QUrl& name, QTextDocument::ResourceType type) {
  const QUrl url = source().resolved(name);
  if (url.scheme() != kScheme) return;
  try {
    QTextBrowser::doSetSource(url, type);
  } catch (...) {
    // Out of memory for the page: the browser stays where it was.
  }
}

HelpWindow::HelpWindow()
    : contents_(new QTreeWidget), index_(new QListWidget), browser_(new ChmBrowser(nullptr)) {
  setWindowTitle("Varnel Help");
  contents_->header()->hide();
  auto* tabs = new QTabWidget;
  tabs->addTab(contents_, "Contents");
  tabs->addTab(index_, "Index");
  auto* splitter = new QSplitter;
  splitter->addWidget(tabs);
  splitter->addWidget(browser_);
  splitter->setStretchFactor(1, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(splitter);
  resize(860, 600);
  // Escape closes it, wherever the focus is, like its close box.
  QObject::connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
                   &QWidget::close);
  auto openItem = [this](const QVariant& page) {
    try {
      if (!page.toString().isEmpty()) browser_->showPage(toNarrow(page.toString()));
    } catch (...) {
      // No exception leaves a Qt handler: the page is not shown.
    }
  };
  QObject::connect(contents_, &QTreeWidget::itemActivated, this,
                   [openItem](QTreeWidgetItem* item) { openItem(item->data(0, kPageRole)); });
  QObject::connect(contents_, &QTreeWidget::itemClicked, this,
                   [openItem](QTreeWidgetItem* item) { openItem(item->data(0, kPageRole)); });
  QObject::connect(index_, &QListWidget::itemActivated, this,
                   [openItem](QListWidgetItem* item) { openItem(item->data(kPageRole)); });
  QObject::connect(index_, &QListWidget::itemClicked, this,
                   [openItem](QListWidgetItem* item) { openItem(item->data(kPageRole)); });
}

bool HelpWindow::open(const std::string& chmPath) {
  try {
    std::unique_ptr<help::ChmFile> file = help::ChmFile::open(chmPath);
    if (!file) return false;
    browser_->setFile(file.get());
    file_ = std::move(file);
    fillContents();
    fillIndex();
    browser_->showPage(file_->homePage());
    return true;
  } catch (...) {
    // Out of memory half-way: nothing of the file is kept.
    browser_->setFile(nullptr);
    file_.reset();
    contents_->clear();
    index_->clear();
    browser_->clear();
    return false;
  }
}

void HelpWindow::fillContents() {
  contents_->clear();
  std::vector<QTreeWidgetItem*> parents;
  for (const help::SitemapEntry& entry : file_->tableOfContents()) {
    parents.resize(std::min(parents.size(), static_cast<size_t>(entry.depth)));
    auto* item =
        parents.empty() ? new QTreeWidgetItem(contents_) : new QTreeWidgetItem(parents.back());
    item->setText(0, fromNarrow(entry.name));
    item->setData(0, kPageRole, fromNarrow(entry.local));
    parents.push_back(item);
  }
  contents_->expandAll();
}

void HelpWindow::fillIndex() {
  index_->clear();
  for (const help::SitemapEntry& entry : file_->index()) {
    auto* item = new QListWidgetItem(fromNarrow(entry.name), index_);
    item->setData(kPageRole, fromNarrow(entry.local));
  }
}

bool QtHelpViewer::displayTableOfContents(const std::string& chmPath) {
  if (!window_.open(chmPath)) return false;
  // Every request brings it to the front, also from behind other windows or
  // from the task bar.
  window_.setWindowState(window_.windowState() & ~Qt::WindowMinimized);
  window_.show();
  window_.raise();
  window_.activateWindow();
  return true;
}

}  // namespace varnel::qtui
