#include <QApplication>
#include <QDomDocument>
#include <QTableWidget>
#include <QtTest>

#include "OffscreenLeaks.h"
#include "Velmora/Translations.h"
#include "Velmora/editors/StratEditDlg.h"

// The module carries its Russian texts and shows them once installed; English
// stays the source.
class TranslationTest : public QObject
{
    Q_OBJECT
private slots:
    void dialogsFollowTheLanguage_data();
    void dialogsFollowTheLanguage();
};

void TranslationTest::dialogsFollowTheLanguage_data()
{
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("header");
    QTest::newRow("Russian") << QLocale(QLocale::Russian, QLocale::Russia) << true
                             << QString::fromUtf8("Редактирование стратегии") << QString::fromUtf8("Источник управления");
    QTest::newRow("English: the source texts") << QLocale(QLocale::English, QLocale::UnitedStates) << false
                                               << "Strategy edit" << "Control source";
}

void TranslationTest::dialogsFollowTheLanguage()
{
    QFETCH(QLocale, locale);
    QFETCH(bool, installed);
    QFETCH(QString, title);
    QFETCH(QString, header);
    QCOMPARE(Velmora::installTranslation(locale), installed);
    QDomDocument doc;
    QVERIFY(doc.setContent(QStringLiteral("<Zone id=\"1\"><Strategies/><Areas><Area id=\"1\"/></Areas></Zone>")));
    const QDomElement root = doc.documentElement();
    StratEditDlg dialog(root.firstChildElement("Areas"), root.firstChildElement("Strategies"), QDomElement());
    QCOMPARE(dialog.windowTitle(), title);
    auto* table = dialog.findChild<QTableWidget*>("areas");
    QVERIFY(table);
    QCOMPARE(table->horizontalHeaderItem(2)->text(), header);
}

QTEST_MAIN(TranslationTest)
#include "tst_translation.moc"
