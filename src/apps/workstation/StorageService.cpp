#include "StorageService.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace Velmora {

StorageService::StorageService(QObject* parent)
    : QObject(parent)
{
}

QVariant StorageService::invoke(QString method, QVariantList args)
{
    if (method == QLatin1String("getConfig"))
        return getConfig(args);
    return errorReply(tr("Unknown method %1").arg(method));
}

QByteArray StorageService::getConfig(const QVariantList& args) const
{
    if (!m_online)
        return errorReply(tr("The storage service is offline"));
    if (args.size() != 1)
        return errorReply(tr("getConfig expects one argument, got %1").arg(args.size()));
    const QString id = args.first().toString();
    // Digits only: the id becomes part of a path.
    static const QRegularExpression decimal(QStringLiteral("^[0-9]{1,9}$"));
    if (!decimal.match(id).hasMatch())
        return errorReply(tr("Invalid controller id '%1'").arg(id));
    if (m_directory.isEmpty())
        return errorReply(tr("No storage folder is set"));
    const QString path = QDir(m_directory).filePath(id + QLatin1String(".cfg"));
    if (!QFileInfo::exists(path))
        return QByteArray();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return errorReply(tr("Cannot read %1: %2").arg(path, file.errorString()));
    return file.readAll();
}

QByteArray StorageService::errorReply(const QString& reason)
{
    return "<Error>" + reason.toUtf8() + "</Error>";
}

QString StorageService::directory() const
{
    return m_directory;
}

void StorageService::setDirectory(const QString& directory)
{
    m_directory = directory;
}

bool StorageService::isOnline() const
{
    return m_online;
}

void StorageService::setOnline(bool online)
{
    if (online == m_online)
        return;
    m_online = online;
    if (online)
        emit rpcConnected();
    else
        emit rpcDisconnected();
}

} // namespace Velmora
