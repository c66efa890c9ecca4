#include "pictures/image_picture_shrinker.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

namespace {

// High enough that a cover shows no blocks on a player's screen, small enough for its memory.
constexpr int kJpegQuality = 90;

// Transparent areas become white, as players show a cover on a light ground.
QImage Opaque(const QImage& image)
{
    if (!image.hasAlphaChannel())
        return image.convertToFormat(QImage::Format_RGB888);
    QImage ground(image.size(), QImage::Format_RGB888);
    ground.fill(Qt::white);
    QPainter painter(&ground);
    painter.drawImage(0, 0, image);
    painter.end();
    return ground;
}

} // namespace

ShrunkPicture CImagePictureShrinker::Shrink(const QByteArray& picture, int maxSide) const
{
    QByteArray bytes = picture;
    QBuffer input(&bytes);
    QImageReader reader(&input);
    const QSize size = reader.size();
    if (size.isValid() && size.width() <= maxSide && size.height() <= maxSide &&
        IsBaselineJpeg(picture))
        return {picture, size.width(), size.height()};
    QImage image = reader.read();
    if (image.isNull())
        return {};
    if (image.width() > maxSide || image.height() > maxSide)
        image = image.scaled(maxSide, maxSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    image = Opaque(image);
    ShrunkPicture shrunk{{}, image.width(), image.height()};
    QBuffer output(&shrunk.data);
    output.open(QIODevice::WriteOnly);
    QImageWriter writer(&output, "jpeg");
    writer.setQuality(kJpegQuality);
    writer.setProgressiveScanWrite(false);
    if (!writer.write(image))
        return {};
    return shrunk;
}

void InstallImagePictureShrinker()
{
    InstallPictureShrinker(std::make_unique<CImagePictureShrinker>());
}
