#pragma once
#include <QString>

// What the executable says about itself: product, maker, maker's web domain, version.
struct VersionInfo {
    QString productName;
    QString companyName;
    QString comments; // the company's web domain
    int major = 0;
    int minor = 0;
};

// "major.minor" in plain decimal numbers: "1.0" for version 1.00.
QString versionText(int major, int minor);

// The version information built into this executable.
VersionInfo builtInVersionInfo();

// The built-in full address of the company's home page.
QString builtInHomePage();
