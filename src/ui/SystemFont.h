#pragma once

#include <QFont>

// The system font at a size in device-independent pixels (the size the look names in points).
QFont systemFont(int size, QFont::Weight weight = QFont::Normal, bool italic = false);
