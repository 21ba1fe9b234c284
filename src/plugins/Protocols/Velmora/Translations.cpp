#include "Translations.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTranslator>

static void initVelmoraTranslations()
{
#ifdef VELMORA_HAS_TRANSLATIONS
    Q_INIT_RESOURCE(velmora_translations);
#endif
}

namespace Velmora {

bool installTranslation(const QLocale& locale)
{
    auto* app = QCoreApplication::instance();
    if (!app)
        return false;
    initVelmoraTranslations();
    // Owned by the application, so that it lives as long as the texts it gives.
    static QPointer<QTranslator> installed;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
    }
    auto* translator = new QTranslator(app);
    if (!translator->load(locale, QStringLiteral("velmora"), QStringLiteral("_"),
                          QStringLiteral(":/translations"))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}

} // namespace Velmora
