#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

// The versions of a zone file an engineer compares: what the file held when
// its editor was opened, what the last save replaced (the module keeps it as
// NAME.xtsc.bak), and what the file holds now.
class ZoneVersions
{
public:
    // Keeps the file's current content until the edit it is opened for ends.
    void editorOpened(const QString& fileName);
    // What the save changed against the content kept when the editor was
    // opened, one line per changed object; forgets that content.
    QStringList changesSaved(const QString& fileName);

    static QString previousVersion(const QString& fileName);
    static bool hasPreviousVersion(const QString& fileName);
    // What reverting would change in the file, one line per object.
    static bool revertChanges(const QString& fileName, QStringList* changes, QString* error);
    // Swaps the file and its previous version; both stay as they were when
    // either cannot be written.
    static bool revert(const QString& fileName, QString* error);

private:
    QHash<QString, QByteArray> m_opened;
};
