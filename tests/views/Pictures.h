#pragma once
// Helpers of the drawing tests: reading pixels as colour values, and keeping pictures in the
// build folder for a person to look at.

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QRect>

#include "platform/SystemColors.h"

// The colour value of a pixel (0x00BBGGRR).
inline platform::TColor PixelAt(const QImage& image, int x, int y) {
    return platform::QColorToColor(QColor(image.pixel(x, y)));
}

// The smallest rectangle holding every pixel that is not the background colour (null if none).
inline QRect PaintedBounds(const QImage& image, platform::TColor background) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (PixelAt(image, x, y) != background) bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

inline int CountPixels(const QImage& image, platform::TColor color) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) count += PixelAt(image, x, y) == color;
    }
    return count;
}

// Saves image as <build folder of the test>/pictures/<name>.png.
inline void SavePicture(const QImage& image, const QString& name) {
    QDir dir(QCoreApplication::applicationDirPath());
    dir.mkpath(QStringLiteral("pictures"));
    image.save(dir.filePath(QStringLiteral("pictures/") + name + QStringLiteral(".png")));
}
