#pragma once

#include <QObject>
#include <QScopedPointer>
#include <QString>

#include "plugin/ModuleInterface.h"

class QDomDocument;
class QWidget;

namespace Velmora {

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
    // Reads the file on a worker thread, so that a load(fileName) that follows
    // only builds the zone's objects; then calls `member(QString fileName,
    // bool ok)` on the receiver, on the GUI thread (ok: the load would succeed).
    // A load uses the reading only while the file is unchanged, else it reads
    // the file itself, as it does without this call.
    Q_INVOKABLE void prepareLoad(QString fileName, QObject* receiver, QString member);

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
    // Writes the whole document to `path`, replacing the file only once all of
    // it was written; on failure the old file stays as it was.
    static bool writeDocument(QDomDocument document, const QString& path, QString* error);

    bool m_visible = true;
    QScopedPointer<PreparedLoads> m_prepared;
};

} // namespace Velmora
