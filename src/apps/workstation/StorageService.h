#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

namespace Velmora {

// Stand-in for the centre's storage service: hands out controller
// configurations kept as <controller id>.cfg files in one folder. The module
// calls invoke() by name and follows the two rpc signals.
class StorageService : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString directory READ directory WRITE setDirectory)
    Q_PROPERTY(bool online READ isOnline WRITE setOnline)
public:
    explicit StorageService(QObject* parent = nullptr);

    // "getConfig" with [controller id as decimal text]: the file's bytes, an
    // empty byte array when there is none, "<Error>reason</Error>" otherwise.
    Q_INVOKABLE QVariant invoke(QString method, QVariantList args);

    QString directory() const;
    void setDirectory(const QString& directory);
    bool isOnline() const;

    static QByteArray errorReply(const QString& reason);

public slots:
    void setOnline(bool online);

signals:
    void rpcConnected();
    void rpcDisconnected();

private:
    QByteArray getConfig(const QVariantList& args) const;

    QString m_directory;
    bool m_online = true;
};

} // namespace Velmora
