#pragma once
#include <QString>

// Whether a location reads as a web address: it holds ".edu", "biz", "org", ".net", ".com"
// or "www" anywhere, case ignored.
bool isWebAddress(QStringView location);

// What Go To opens: the location without the blanks around it; a web address without "http://"
// or "https://" anywhere gets "http://" in front.
QString goToTarget(const QString& location);
