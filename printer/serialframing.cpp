#include "printer/serialframing.h"

QString printerPortName()
{
    const QString port = qEnvironmentVariable(PrinterSerial::PortVariable);
    return port.isEmpty() ? QString::fromLatin1(PrinterSerial::DefaultPort) : port;
}

static int hexDigit(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

QByteArray commandFrame(const QString &command)
{
    QByteArray frame;
    if (command.isEmpty())
        return frame;
    const QStringList fields = command.split(QLatin1Char(','));
    for (const QString &field : fields) {
        if (field.isEmpty() || field.size() > 2)
            return QByteArray();
        int byte = 0;
        for (const QChar c : field) {
            const int digit = hexDigit(c);
            if (digit < 0)
                return QByteArray();
            byte = byte * 16 + digit;
        }
        frame.append(char(byte));
    }
    return frame;
}

QStringList replyFields(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return {QString()};
    QStringList fields;
    fields.reserve(bytes.size());
    for (const char byte : bytes)
        fields << QString::number(uchar(byte), 16);
    return fields;
}
