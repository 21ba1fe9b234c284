#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThreadPool>

namespace Velmora {

// The versions of a zone file an engineer compares: what the file held when
// its editor was opened, what the last save replaced (the module keeps it as
// NAME.xtsc.bak), and what the file holds now.
class ZoneVersions : public QObject
{
    Q_OBJECT

public:
    explicit ZoneVersions(QObject* parent = nullptr);
    // Waits for the comparison under way; those not begun are dropped.
    ~ZoneVersions() override;

    // Keeps the file's current content until the edit it is opened for ends.
    void editorOpened(const QString& fileName);
    // Compares, off the GUI thread, what the file holds now with the content
    // kept when its editor was opened, and forgets that content;
    // changesSaved() follows. Comparisons run one at a time, so their answers
    // come in the order of the saves.
    void compareSaved(const QString& fileName);

    static QString previousVersion(const QString& fileName);
    static bool hasPreviousVersion(const QString& fileName);
    // What reverting would change in the file, one line per object.
    static bool revertChanges(const QString& fileName, QStringList* changes, QString* error);
    // Swaps the file and its previous version; both stay as they were when
    // either cannot be written.
    static bool revert(const QString& fileName, QString* error);

signals:
    // What a save changed, one line per changed object, or the reason the
    // versions could not be compared.
    void changesSaved(const QString& fileName, const QStringList& changes);

private:
    QHash<QString, QByteArray> m_opened;
    QThreadPool m_comparing;
};

} // namespace Velmora
