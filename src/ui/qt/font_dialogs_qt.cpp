#include "ui/qt/font_dialogs_qt.h"

#include <QListWidget>
#include <QPainter>
#include <QPushButton>

#include "ui/control_ids.h"
#include "ui/qt/qt_dialog_controls.h"

namespace varnel::qtui {
namespace {

// OK ends a dialog accepted, Cancel rejected, as the dialog framework does.
void connectEndButtons(QDialog& dialog, const BuiltDialog& built) {
  if (const auto ok = built.widgets.find(ui::kIdOk); ok != built.widgets.end()) {
    QObject::connect(qobject_cast<QPushButton*>(ok->second), &QPushButton::clicked, &dialog,
                     &QDialog::accept);
  }
  if (const auto cancel = built.widgets.find(ui::kIdCancel); cancel != built.widgets.end()) {
    QObject::connect(qobject_cast<QPushButton*>(cancel->second), &QPushButton::clicked, &dialog,
                     &QDialog::reject);
  }
}

class PainterCanvas : public ui::PixelCanvas {
 public:
  explicit PainterCanvas(QPainter& painter) : painter_(painter) {}
  void setPixel(int x, int y, int size) override {
    painter_.fillRect(x, y, size, size, QColor(0, 0, 0));
  }
  void fillBackground(int x, int y, int width, int height) override {
    painter_.fillRect(x, y, width, height, Qt::white);
  }

 private:
  QPainter& painter_;
};

}  // namespace

int runFontSelectDialog(QWidget* owner, const CpiFontEntry* entries, int count,
                        const ui::FontGlyphReader& glyphsOf) {
  QDialog dialog(owner);
  const BuiltDialog built = buildDialog(dialog, ui::fontSelectDialogTemplate());
  QtDialogControls controls(dialog, built.widgets);
  ui::FontSelectDialog behaviour(controls);
  controls.setEvents(&behaviour);
  connectEndButtons(dialog, built);
  behaviour.entries = entries;
  behaviour.entryCount = count;
  behaviour.glyphsOf = glyphsOf;
  behaviour.OnInitDialog();
  // No line is current either: the list taking the focus would otherwise
  // put its frame on the first line, and Down would skip that line.
  qobject_cast<QListWidget*>(controls.widget(ui::kIdFontList))->setCurrentIndex(QModelIndex());
  const bool ok = dialog.exec() == QDialog::Accepted;
  return behaviour.result(ok);
}

class FontViewDialog::GlyphLayer : public QWidget {
 public:
  explicit GlyphLayer(FontViewDialog& dialog) : QWidget(&dialog), dialog_(dialog) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
  }

 protected:
  void paintEvent(QPaintEvent*) override { dialog_.paintGlyphs(*this); }

 private:
  FontViewDialog& dialog_;
};

FontViewDialog::FontViewDialog(QWidget* owner) : QDialog(owner) {
  built_ = buildDialog(*this, ui::fontViewDialogTemplate());
  connectEndButtons(*this, built_);
  auto* layer = new GlyphLayer(*this);
  layer->setGeometry(rect());
  layer->raise();
}

int FontViewDialog::showFonts(const BiosImage& image) {
  image_ = &image;
  const int result = exec();
  image_ = nullptr;
  return result;
}

ui::ClientRect FontViewDialog::gridRect(int id) const {
  const QRect rect = built_.widgets.at(id)->geometry();
  return {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

void FontViewDialog::paintGlyphs(QWidget& surface) const {
  QPainter painter(&surface);
  PainterCanvas canvas(painter);
  ui::paintFonts(image_, gridRect(ui::kIdGrid8x8), gridRect(ui::kIdGrid8x16), canvas);
}

}  // namespace varnel::qtui
