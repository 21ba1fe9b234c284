#include "ZoneVersions.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QtConcurrent>

#include "BackgroundWork.h"
#include "Velmora/format/DocumentWriter.h"
#include "ZoneChanges.h"

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ZoneVersions", text);
}

bool readWhole(const QString& fileName, QByteArray* bytes, QString* error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = tr("%1: %2").arg(fileName, file.errorString());
        return false;
    }
    *bytes = file.readAll();
    return true;
}

bool writeWhole(const QString& fileName, const QByteArray& bytes, QString* error)
{
    if (Velmora::DocumentWriter::replaceFile(fileName, bytes, error))
        return true;
    *error = tr("%1: %2").arg(fileName, *error);
    return false;
}

} // namespace

ZoneVersions::ZoneVersions(QObject* parent)
    : QObject(parent)
{
    m_comparing.setMaxThreadCount(1);
}

ZoneVersions::~ZoneVersions()
{
    m_comparing.clear();
    m_comparing.waitForDone();
}

void ZoneVersions::editorOpened(const QString& fileName)
{
    QByteArray bytes;
    QString ignored;
    if (readWhole(fileName, &bytes, &ignored))
        m_opened.insert(QFileInfo(fileName).absoluteFilePath(), bytes);
}

void ZoneVersions::compareSaved(const QString& fileName)
{
    QByteArray before = m_opened.take(QFileInfo(fileName).absoluteFilePath());
    if (before.isNull())
        return;
    // Read now: a later save must not show in this one's lines.
    QByteArray after;
    QString error;
    if (!readWhole(fileName, &after, &error)) {
        emit changesSaved(fileName, {error});
        return;
    }
    auto* watcher = new QFutureWatcher<QStringList>(this);
    connect(watcher, &QFutureWatcher<QStringList>::finished, this, [this, watcher, fileName] {
        emit changesSaved(fileName, watcher->result());
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run(&m_comparing, [before = std::move(before), after = std::move(after)] {
        // The pool is ours alone.
        Velmora::yieldToTheLivePicture();
        QStringList changes;
        QString error;
        if (!Velmora::ZoneChanges::compare(before, after, &changes, &error))
            return QStringList{error};
        return changes;
    }));
}

QString ZoneVersions::previousVersion(const QString& fileName)
{
    return Velmora::DocumentWriter::backupPath(fileName);
}

bool ZoneVersions::hasPreviousVersion(const QString& fileName)
{
    return !fileName.isEmpty() && QFileInfo(previousVersion(fileName)).isFile();
}

bool ZoneVersions::revertChanges(const QString& fileName, QStringList* changes, QString* error)
{
    QByteArray current;
    QByteArray previous;
    return readWhole(fileName, &current, error) && readWhole(previousVersion(fileName), &previous, error)
        && Velmora::ZoneChanges::compare(current, previous, changes, error);
}

bool ZoneVersions::revert(const QString& fileName, QString* error)
{
    const QString backup = previousVersion(fileName);
    QByteArray current;
    QByteArray previous;
    if (!readWhole(fileName, &current, error) || !readWhole(backup, &previous, error))
        return false;
    if (!writeWhole(fileName, previous, error))
        return false;
    if (!writeWhole(backup, current, error)) {
        QString ignored;
        writeWhole(fileName, current, &ignored);
        return false;
    }
    return true;
}
