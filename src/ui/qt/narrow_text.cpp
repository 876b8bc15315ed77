#include "ui/qt/narrow_text.h"

#include <QStringDecoder>

namespace varnel::qtui {

QString fromNarrow(const std::string& text) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QByteArray bytes = QByteArray::fromStdString(text);
  QString decoded = utf8.decode(bytes);
  if (!utf8.hasError()) return decoded;
  return QString::fromLatin1(bytes);
}

std::string toNarrow(const QString& text) {
  return text.toUtf8().toStdString();
}

}  // namespace varnel::qtui
