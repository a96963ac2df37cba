#pragma once

// The program's own pictures, loaded by name ("BTN1", "CHECKBMP", "DragCursor" ...).

#include <QBitmap>
#include <QCursor>
#include <QPixmap>
#include <QString>

class QPainter;

// The picture as drawn; a device pixel ratio above 1 picks the double-resolution drawing.
// A null pixmap for an unknown name.
QPixmap KvBitmap(const QString& name, qreal dpr = 1.0);

// The picture made transparent wherever it has the colour of its bottom-left pixel.
QPixmap KvTransparentBitmap(const QString& name, qreal dpr = 1.0);

// A cursor made from a picture, hot spot in logical pixels.
QCursor KvCursor(const QString& name, QPoint hotSpot = QPoint(1, 1));

// Copies width x height (logical) pixels of `source` to (x, y) only where `mask` is set
// (Qt::color1); elsewhere the destination stays.
void DrawTransparentBitmap(QPainter& dest, int x, int y, const QPixmap& source, const QBitmap& mask,
                           int width, int height);

// Mask of the pixels that differ from the bottom-left pixel's colour (fully transparent pixels
// never count).
QBitmap KvBottomLeftMask(const QPixmap& source);
