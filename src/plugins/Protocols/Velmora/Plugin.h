#pragma once

#include <QHash>
#include <QObject>
#include <QScopedPointer>
#include <QString>

#include <memory>

#include "plugin/ModuleInterface.h"

class QDomDocument;
class QWidget;

namespace Velmora {

class LoadAhead;
class OrderAhead;
class PreparedLoads;

// The module's one root object: loads zones, shows or hides them, opens the
// zone editor. The host reaches all of it through the meta-object system, so
// the order of the declarations below is part of the interface.
class Plugin : public QObject
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VELMORA_MODULE_IID)
    Q_PROPERTY(QString moduleVersion READ moduleVersion CONSTANT)
    Q_PROPERTY(bool visible READ isVisible WRITE setVisible)
public:
    explicit Plugin(QObject* parent = nullptr);
    ~Plugin() override;

    Q_INVOKABLE QObject* load(QString fileName);
    Q_INVOKABLE void editZone(QString fileName, QObject* cnfStorage);
    Q_INVOKABLE void editZone(QString fileName);
    // Reads the file ahead on a worker thread (see LoadAhead, which hosts
    // reach through the dynamic property "loadAhead").
    void prepareLoad(const QString& fileName, QObject* receiver, const QString& member);

    QString moduleVersion() const;
    bool isVisible() const;

signals:
    void zoneEdited(QString fileName);
    void zoneLoaded(QObject* zone);

public slots:
    void setVisible(bool visible);

private slots:
    void zoneEditComplete(int result);

protected:
    // The user's part in writing an edit back, overridden by tests that
    // answer in the user's place; no part of the meta-object.
    // A save-file dialog; empty when the user cancelled.
    virtual QString askSaveFileName(QWidget* parent, const QString& caption, const QString& proposed,
                                    const QString& filter);
    // A modal warning box.
    virtual void showWarning(QWidget* parent, const QString& title, const QString& text);

private:
    bool m_visible = true;
    QScopedPointer<PreparedLoads> m_prepared;
    QScopedPointer<LoadAhead> m_loadAhead;
    // Each open editor's file order, learned while the user edits.
    QHash<QObject*, std::shared_ptr<OrderAhead>> m_ordersAhead;
};

} // namespace Velmora
