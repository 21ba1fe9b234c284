// A library that declares the module interface but is not the module hosts
// call: no zoneLoaded signal, a read-only "visible", an editZone(QString)
// that returns something. Hosts must refuse it and say what it lacks.
#include <QObject>
#include <QString>

#include "Velmora/plugin/ModuleInterface.h"

class IncompleteModule : public QObject
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VELMORA_MODULE_IID)
    Q_PROPERTY(QString moduleVersion READ moduleVersion CONSTANT)
    Q_PROPERTY(bool visible READ isVisible)
public:
    Q_INVOKABLE QObject* load(QString) { return nullptr; }
    Q_INVOKABLE void editZone(QString, QObject*) {}
    Q_INVOKABLE int editZone(QString) { return 0; }

    QString moduleVersion() const { return QStringLiteral("0.0.0"); }
    bool isVisible() const { return true; }

signals:
    void zoneEdited(QString fileName);

public slots:
    void setVisible(bool) {}
};

#include "IncompleteModule.moc"
