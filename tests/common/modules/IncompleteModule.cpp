// Declares the module interface but is not the module hosts call: hosts must
// refuse it and say what is wrong with it, and only that.
#include <QObject>
#include <QString>

#include "Velmora/plugin/ModuleInterface.h"

class IncompleteModule : public QObject
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VELMORA_MODULE_IID)
    Q_PROPERTY(int moduleVersion READ moduleVersion CONSTANT)
    Q_PROPERTY(bool visible READ isVisible)
public:
    Q_INVOKABLE int load(QString) { return 0; }
    Q_INVOKABLE void editZone(QString, QObject*) {}
    Q_INVOKABLE int editZone(QString) { return 0; }

    int moduleVersion() const { return 0; }
    bool isVisible() const { return true; }

signals:
    void zoneEdited(QString fileName);
    void setVisible(bool visible);
};

#include "IncompleteModule.moc"
