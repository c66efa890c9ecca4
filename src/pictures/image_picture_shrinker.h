#pragma once

#include "tags/picture_shrinker.h"

// Shrinks pictures with Qt's image classes (QtGui): the front ends install it, the core only
// knows the interface.
class CImagePictureShrinker : public IPictureShrinker
{
public:
    ShrunkPicture Shrink(const QByteArray& picture, int maxSide) const override;
};

// Installs CImagePictureShrinker for the core's cover copies and tag copies.
void InstallImagePictureShrinker();
