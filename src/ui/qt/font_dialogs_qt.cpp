#include "ui/qt/font_dialogs_qt.h"

#include <functional>
#include <utility>

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

// Glyphs painted on a transparent layer over the whole dialog, above the
// other controls, so that no frame drawn by the style hides them.
class GlyphLayer : public QWidget {
 public:
  GlyphLayer(QDialog& dialog, std::function<void(ui::PixelCanvas&)> paint)
      : QWidget(&dialog), paint_(std::move(paint)) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(dialog.rect());
    raise();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    PainterCanvas canvas(painter);
    paint_(canvas);
  }

 private:
  std::function<void(ui::PixelCanvas&)> paint_;
};

// A built control's rectangle in its dialog.
ui::ClientRect controlRect(const BuiltDialog& built, int id) {
  const QRect rect = built.widgets.at(id)->geometry();
  return {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

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
  const ui::ClientRect preview = controlRect(built, ui::kIdFontPreview);
  auto* layer = new GlyphLayer(dialog, [&behaviour, preview](ui::PixelCanvas& canvas) {
    behaviour.paintPreview(preview, canvas);
  });
  behaviour.previewChanged = [layer] { layer->update(); };
  behaviour.OnInitDialog();
  // No line is current either: the list taking the focus would otherwise
  // put its frame on the first line, and Down would skip that line.
  qobject_cast<QListWidget*>(controls.widget(ui::kIdFontList))->setCurrentIndex(QModelIndex());
  const bool ok = dialog.exec() == QDialog::Accepted;
  return behaviour.result(ok);
}

FontViewDialog::FontViewDialog(QWidget* owner) : QDialog(owner) {
  built_ = buildDialog(*this, ui::fontViewDialogTemplate());
  connectEndButtons(*this, built_);
  new GlyphLayer(*this, [this](ui::PixelCanvas& canvas) {
    ui::paintFonts(image_, controlRect(built_, ui::kIdGrid8x8),
                   controlRect(built_, ui::kIdGrid8x16), canvas);
  });
}

int FontViewDialog::showFonts(const BiosImage& image) {
  image_ = &image;
  const int result = exec();
  image_ = nullptr;
  return result;
}

}  // namespace varnel::qtui
