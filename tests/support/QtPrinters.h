#pragma once

// Google Test prints a type it does not know as its raw bytes ("2-byte object <68-00>"); these print Qt's
// strings, byte arrays and variants as text. Lists of them print through Google Test's container printer,
// which uses these for the elements. Every test file gets this header (see tests/CMakeLists.txt).
#include <QByteArray>
#include <QDebug>
#include <QString>
#include <QVariant>
#include <ostream>

inline void PrintTo(const QString& value, std::ostream* os) {
    *os << '"' << value.toStdString() << '"';
}

inline void PrintTo(const QByteArray& value, std::ostream* os) {
    static const char digits[] = "0123456789abcdef";
    *os << '"';
    for (const char c : value) {
        if (c >= 0x20 && c < 0x7f && c != '\\' && c != '"')
            *os << c;
        else
            *os << "\\x" << digits[(uchar(c) >> 4) & 0xf] << digits[uchar(c) & 0xf];
    }
    *os << '"';
}

inline void PrintTo(const QVariant& value, std::ostream* os) {
    QString text;
    QDebug(&text).nospace() << value;
    *os << text.toStdString();
}
