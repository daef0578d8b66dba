// Drawing the icon and the donate button with QPainter.
#include "gui/images.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace mailsift::gui {

QPixmap drawWindowIcon() {
  QPixmap icon(23, 24);
  icon.fill(Qt::transparent);
  QPainter painter(&icon);
  painter.setRenderHint(QPainter::Antialiasing);
  // The envelope.
  painter.setPen(QPen(QColor(40, 70, 120), 1.2));
  painter.setBrush(QColor(250, 245, 225));
  painter.drawRect(QRectF(1.5, 5.5, 20, 14));
  painter.drawLine(QPointF(1.5, 5.5), QPointF(11.5, 13.5));
  painter.drawLine(QPointF(21.5, 5.5), QPointF(11.5, 13.5));
  // The "@" on a round badge in the lower right corner.
  painter.setBrush(QColor(200, 40, 40));
  painter.setPen(Qt::NoPen);
  painter.drawEllipse(QRectF(11, 12, 12, 12));
  QFont font;
  font.setPixelSize(10);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(QRectF(11, 11.5, 12, 12), Qt::AlignCenter, QStringLiteral("@"));
  return icon;
}

QPixmap drawDonateImage() {
  QPixmap image(147, 47);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  QPainterPath button;
  button.addRoundedRect(QRectF(1.5, 1.5, 144, 44), 12, 12);
  QLinearGradient shade(0, 0, 0, 47);
  shade.setColorAt(0, QColor(255, 214, 90));
  shade.setColorAt(1, QColor(240, 160, 30));
  painter.fillPath(button, shade);
  painter.setPen(QPen(QColor(160, 100, 10), 1.5));
  painter.drawPath(button);
  QFont font;
  font.setPixelSize(22);
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(QColor(40, 40, 90));
  painter.drawText(QRectF(0, 0, 147, 47), Qt::AlignCenter, QStringLiteral("Donate"));
  return image;
}

}  // namespace mailsift::gui
