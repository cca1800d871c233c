#ifndef MYSQLDUMPTEXT_H
#define MYSQLDUMPTEXT_H

#include <QByteArray>

// A value as mysqldump writes it: in single quotes, with the escapes of the mysql client
// library (mysql_real_escape_string).
inline QByteArray mysqldumpQuoted(const QByteArray &value)
{
    QByteArray out = "'";
    for (const char c : value) {
        switch (c) {
        case '\0':
            out += "\\0";
            break;
        case '\'':
            out += "\\'";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\x1a':
            out += "\\Z";
            break;
        default:
            out += c;
        }
    }
    return out + '\'';
}

#endif
