#include "KvBitmaps.h"

#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QPainter>

static void InitKvResources() {
  Q_INIT_RESOURCE(kvarta);
}

namespace {

QString ResourcePath(const QString& name, bool twice) {
  return QStringLiteral(":/kvarta/%1%2.png").arg(name, twice ? QStringLiteral("@2x") : QString());
}

QPixmap Load(const QString& name, qreal dpr, bool transparent) {
  static bool initialised = false;
  if (!initialised) {
    InitKvResources();
    initialised = true;
  }
  static QHash<QString, QPixmap> cache;
  const bool twice = dpr > 1.0;
  const QString key = name + (twice ? QLatin1Char('2') : QLatin1Char('1')) +
                      (transparent ? QLatin1Char('t') : QLatin1Char('o'));
  auto it = cache.constFind(key);
  if (it != cache.constEnd()) return *it;
  QPixmap pixmap(ResourcePath(name, twice));
  if (pixmap.isNull() && twice)
    pixmap = QPixmap(ResourcePath(name, false));
  else if (twice)
    pixmap.setDevicePixelRatio(2.0);
  if (!pixmap.isNull() && transparent) {
    const QBitmap mask = KvBottomLeftMask(pixmap);
    QPixmap masked(pixmap.size());
    masked.setDevicePixelRatio(pixmap.devicePixelRatio());
    masked.fill(Qt::transparent);
    QPainter p(&masked);
    const QSizeF logical = pixmap.deviceIndependentSize();
    DrawTransparentBitmap(p, 0, 0, pixmap, mask, int(logical.width()), int(logical.height()));
    p.end();
    pixmap = masked;
  }
  cache.insert(key, pixmap);
  return pixmap;
}

} // namespace

QPixmap KvBitmap(const QString& name, qreal dpr) {
  return Load(name, dpr, false);
}

QPixmap KvTransparentBitmap(const QString& name, qreal dpr) {
  return Load(name, dpr, true);
}

QCursor KvCursor(const QString& name, QPoint hotSpot) {
  const qreal dpr = qApp ? qGuiApp->devicePixelRatio() : 1.0;
  const QPixmap pixmap = KvTransparentBitmap(name, dpr);
  if (pixmap.isNull()) return QCursor(Qt::DragCopyCursor);
  return QCursor(pixmap, hotSpot.x(), hotSpot.y());
}

QBitmap KvBottomLeftMask(const QPixmap& source) {
  QImage image = source.toImage().convertToFormat(QImage::Format_ARGB32);
  const QRgb key = image.pixel(0, image.height() - 1);
  QImage mask(image.size(), QImage::Format_Mono);
  mask.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)}); // color0 clear, color1 set
  mask.fill(0);
  for (int y = 0; y < image.height(); ++y) {
    const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(line[x]) != 0 && line[x] != key) mask.setPixel(x, y, 1);
  }
  QBitmap bitmap = QBitmap::fromImage(mask);
  bitmap.setDevicePixelRatio(source.devicePixelRatio());
  return bitmap;
}

void DrawTransparentBitmap(QPainter& dest, int x, int y, const QPixmap& source, const QBitmap& mask,
                           int width, int height) {
  if (source.isNull()) return;
  QPixmap masked = source;
  if (!mask.isNull()) {
    // Qt keeps the source's own alpha and cuts away what the mask clears.
    QImage image = source.toImage().convertToFormat(QImage::Format_ARGB32);
    const QImage bits = mask.toImage();
    for (int yy = 0; yy < image.height() && yy < bits.height(); ++yy) {
      QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(yy));
      for (int xx = 0; xx < image.width() && xx < bits.width(); ++xx)
        if ((bits.pixel(xx, yy) & 0xFFFFFF) == 0xFFFFFF) line[xx] = 0; // color0: keep dest
    }
    masked = QPixmap::fromImage(image);
    masked.setDevicePixelRatio(source.devicePixelRatio());
  }
  const qreal dpr = source.devicePixelRatio();
  dest.drawPixmap(QRect(x, y, width, height), masked,
                  QRect(0, 0, int(width * dpr), int(height * dpr)));
}
