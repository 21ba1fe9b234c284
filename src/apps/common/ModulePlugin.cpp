#include "ModulePlugin.h"

#include "ModuleCalls.h"
#include "ModuleSurface.h"
#include "Velmora/plugin/ModuleInterface.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace VelmoraHost {

namespace {

QString joinLines(const QStringList& lines)
{
    return lines.join(QLatin1String("; "));
}

} // namespace

QString defaultPluginPath()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../plugins/libVelmora.so"));
}

bool ModulePlugin::load(const QString& path, QString* error)
{
    m_root = nullptr;
    // The loader looks for a relative name in Qt's library paths, never in the
    // working folder, where a user's "--plugin build/plugins/..." starts.
    m_loader.setFileName(path.isEmpty() ? path : QFileInfo(path).absoluteFilePath());
    const QString iid = m_loader.metaData().value(QStringLiteral("IID")).toString();
    if (iid != QLatin1String(VELMORA_MODULE_IID)) {
        *error = iid.isEmpty()
            ? QCoreApplication::translate("VelmoraHost", "%1 is not a Qt plug-in: %2").arg(path, m_loader.errorString())
            : QCoreApplication::translate("VelmoraHost", "%1 declares the interface %2, not a Velmora module")
                  .arg(path, iid);
        return false;
    }
    QObject* root = m_loader.instance();
    if (!root) {
        *error = m_loader.errorString();
        return false;
    }
    const QStringList missing = missingMembers(root->metaObject(), rootSurface());
    if (!missing.isEmpty()) {
        *error = QCoreApplication::translate("VelmoraHost", "%1 is not the Velmora module hosts call: %2")
                     .arg(path, joinLines(missing));
        return false;
    }
    m_root = root;
    return true;
}

QObject* ModulePlugin::root() const
{
    return m_root;
}

QString ModulePlugin::fileName() const
{
    return m_loader.fileName();
}

QJsonObject ModulePlugin::metaData() const
{
    return m_loader.metaData();
}

ZoneLoad loadZone(QObject* root, const QString& fileName, WarningCapture::Mode mode)
{
    ZoneLoad result;
    if (!root) {
        result.error = QCoreApplication::translate("VelmoraHost", "The module is not loaded");
        return result;
    }
    bool invoked;
    {
        WarningCapture capture(mode);
        invoked = invoke(root, "load", Q_RETURN_ARG(QObject*, result.zone), Q_ARG(QString, fileName));
        result.warnings = capture.messages();
    }
    if (!invoked) {
        result.error = QCoreApplication::translate("VelmoraHost", "The module has no load(QString)");
        return result;
    }
    if (!result.zone) {
        result.error = result.warnings.isEmpty()
            ? QCoreApplication::translate("VelmoraHost", "The module refused %1").arg(fileName)
            : result.warnings.join(QLatin1Char('\n'));
        return result;
    }
    const QStringList missing = missingMembers(result.zone->metaObject(), zoneSurface());
    if (!missing.isEmpty()) {
        // Nothing of it has been seen by the host yet.
        delete result.zone;
        result.zone = nullptr;
        result.error = QCoreApplication::translate("VelmoraHost", "The zone of %1 is not one hosts can use: %2")
                           .arg(fileName, joinLines(missing));
    }
    return result;
}

} // namespace VelmoraHost
