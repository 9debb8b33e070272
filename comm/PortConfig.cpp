#include "PortConfig.h"

#include <QStringList>
#include <QUrl>

namespace Quorlix {

QString PortConfig::describe() const
{
    if (isTcp())
        return QStringLiteral("tcp://%1:%2").arg(host).arg(tcpPort);
    return QStringLiteral("%1 %2,%3,%4,%5").arg(device).arg(baudRate).arg(parity).arg(dataBits).arg(stopBits);
}

PortConfig ResolvePort(int number, const QMap<int, QString>& comDevices)
{
    PortConfig spec;
    spec.number = number;
    const QString configured = comDevices.value(number).trimmed();
    if (configured.isEmpty()) {
#ifdef Q_OS_WIN
        spec.device = QStringLiteral("COM%1").arg(number);
#else
        spec.device = QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
        return spec;
    }
    if (configured.startsWith(QLatin1String("tcp://"), Qt::CaseInsensitive)) {
        const QUrl url(configured);
        if (!url.isValid() || url.host().isEmpty() || url.port() <= 0) {
            spec.error =
                QStringLiteral("com%1=%2 is not of the form tcp://HOST:PORT").arg(number).arg(configured);
            return spec;
        }
        spec.host = url.host();
        spec.tcpPort = static_cast<quint16>(url.port());
        return spec;
    }

    const QStringList parts = configured.split(QLatin1Char(','));
    spec.device = parts.at(0).trimmed();
    bool ok = true;
    if (parts.size() > 1 && !parts.at(1).trimmed().isEmpty())
        spec.baudRate = parts.at(1).trimmed().toInt(&ok);
    if (ok && parts.size() > 2 && !parts.at(2).trimmed().isEmpty()) {
        const QString parity = parts.at(2).trimmed().toLower();
        ok = parity.size() == 1 && QStringLiteral("neoms").contains(parity);
        if (ok)
            spec.parity = parity.at(0);
    }
    if (ok && parts.size() > 3 && !parts.at(3).trimmed().isEmpty()) {
        spec.dataBits = parts.at(3).trimmed().toInt(&ok);
        ok = ok && spec.dataBits >= 5 && spec.dataBits <= 8;
    }
    if (ok && parts.size() > 4 && !parts.at(4).trimmed().isEmpty()) {
        const QString stop = parts.at(4).trimmed();
        ok = stop == QLatin1String("1") || stop == QLatin1String("2");
        spec.stopBits = stop.toInt();
    }
    if (!ok || spec.baudRate <= 0 || parts.size() > 5 || spec.device.isEmpty())
        spec.error = QStringLiteral("com%1=%2 is not DEVICE[,BAUD[,PARITY[,DATABITS[,STOPBITS]]]] "
                                    "(for example /dev/ttyUSB0,9600,e,7,2)")
                         .arg(number)
                         .arg(configured);
    return spec;
}

} // namespace Quorlix
