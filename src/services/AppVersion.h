#pragma once

#include <QString>

// The app's version (the project version of the build), "1.0.0" when the build sets none. Each call
// also prints a line to standard output.
QString getAppVersion();

// The version a build setting gives: "1.0.0" when it is empty or blank.
QString appVersionFromBuild(const QString& buildVersion);
