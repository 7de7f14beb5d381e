#pragma once
#include <QPixmap>

struct VersionInfo;

// The splash and About pictures carry no names of their own: the product name, the company, its
// web domain and the version are drawn over them from the version information, so that a new
// version or name never shows an old one.
QPixmap splashPicture(const QPixmap& picture, const VersionInfo& version);
QPixmap aboutBanner(const QPixmap& picture, const VersionInfo& version);
