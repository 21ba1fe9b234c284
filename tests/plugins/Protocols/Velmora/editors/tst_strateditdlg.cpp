#include <QApplication>
#include <QDomDocument>
#include <QTableWidget>
#include <QWindow>
#include <QtTest>

#include "DomText.h"
#include "OffscreenLeaks.h"
#include "Velmora/Translations.h"
#include "Velmora/editors/StratEditDlg.h"
#include "WidgetDriver.h"

namespace {

// Strategy 2 drives area 4 by a source no editor offers ("9"); zone 8 has no areas.
const char* const zonesXml = R"(<Zones><Zone id="7"><Strategies>
<Strategy id="1" name="Day" default="1"><Area id="3" control_source="1"/></Strategy>
<Strategy id="2" name="Night"><Area id="3" control_source="3"/><Area id="4" control_source="9"/></Strategy>
<Strategy id="7" name="Event"/></Strategies>
<Areas><Area id="3" name="Centre"/><Area id="4" name="River"/><Area id="5" name="Port"/></Areas></Zone>
<Zone id="8"><Strategies><Strategy id="4" name="Only"/></Strategies></Zone></Zones>)";

} // namespace

class StratEditDlgTest : public QObject
{
    Q_OBJECT

    QDomDocument doc;
    QScopedPointer<StratEditDlg> dialog;
    QTableWidget* table = nullptr;

    // Opens the editor on strategy `id` of zone `zoneId`; an empty id: a new one.
    void open(const QString& zoneId, const QString& id)
    {
        parseXml(&doc, zonesXml);
        QDomElement zone = doc.documentElement().firstChildElement();
        while (zone.attribute("id") != zoneId)
            zone = zone.nextSiblingElement();
        QDomElement strategy;
        const QDomElement strategies = zone.firstChildElement("Strategies");
        for (QDomElement s = strategies.firstChildElement(); !s.isNull(); s = s.nextSiblingElement())
            strategy = !id.isEmpty() && s.attribute("id") == id ? s : strategy;
        dialog.reset(new StratEditDlg(zone.firstChildElement("Areas"), strategies, strategy));
        dialog->show();
        QTRY_VERIFY(dialog->windowHandle()->isExposed());
        table = dialog->findChild<QTableWidget*>("areas");
    }

    // "Area|used|source" per row.
    QStringList rows() const
    {
        QStringList result;
        for (int row = 0; row < table->rowCount(); ++row)
            result << table->item(row, 0)->text() + (table->item(row, 1)->data(Qt::EditRole).toBool() ? "|used|" : "|-|")
                    + table->item(row, 2)->text();
        return result;
    }

    // Everything shown red: "stratId", "stratName", "areas", "used:ROW", "source:ROW".
    QString redMarks() const
    {
        QStringList red;
        for (const char* name : {"stratId", "stratName", "areas"})
            if (Drive::isRed(dialog->findChild<QWidget*>(name)))
                red << name;
        for (const QString& cell : Drive::redCells(table))
            red << (cell.section(':', 1, 1) == "1" ? "used:" : "source:") + cell.section(':', 0, 0);
        return red.join(' ');
    }

private slots:
    void cleanup() { dialog.reset(); }

    // Used areas show their source by name, one no editor offers by its number.
    void shownRows()
    {
        open("7", "2");
        QCOMPARE(rows(), (QStringList{"3 (Centre)|used|local control", "4 (River)|used|9", "5 (Port)|-|"}));
    }

    void edit_data()
    {
        QTest::addColumn<QString>("zone");
        QTest::addColumn<QString>("strategy");
        QTest::addColumn<QStringList>("actions"); // "toggle ROW", "source ROW NAME", "id N", "name TEXT", "ok",
                                                  // "red MARKS": what redMarks() shows by then
        QTest::addColumn<QString>("outcome");     // the built strategy, or what is red

        QTest::newRow("new after ids 1, 2, 7: a source chosen uses the area") << "7" << ""
            << QStringList{"name Evening", "source 2 adaptive system"} << "Strategy id=8 name=Evening [Area control_source=2 id=5]";
        QTest::newRow("id kept, default never written; a re-ticked area keeps its source") << "7" << "1"
            << QStringList{"toggle 0", "toggle 0"} << "Strategy id=1 name=Day [Area control_source=1 id=3]";
        QTest::newRow("unticked area left out, unknown source with it") << "7" << "2" << QStringList{"toggle 1"}
            << "Strategy id=2 name=Night [Area control_source=3 id=3]";
        QTest::newRow("sources replaced, areas in table order") << "7" << "2"
            << QStringList{"source 2 calendar", "source 1 local control"}
            << "Strategy id=2 name=Night [Area control_source=3 id=3] [Area control_source=3 id=4] [Area control_source=1 id=5]";
        QTest::newRow("id of another strategy refused, then mended; renamed") << "7" << "1"
            << QStringList{"id 7", "ok", "red stratId", "id 5", "name Late"} << "Strategy id=5 name=Late [Area control_source=1 id=3]";
        QTest::newRow("new one given a taken id, empty name") << "7" << "" << QStringList{"id 2", "source 0 calendar"}
            << "stratId stratName";
        QTest::newRow("used area, unknown source") << "7" << "2" << QStringList() << "source:1";
        QTest::newRow("ticked area without source") << "7" << "1" << QStringList{"toggle 2"} << "source:2";
        QTest::newRow("no area used, then mended") << "7" << "1"
            << QStringList{"toggle 0", "ok", "red used:0 used:1 used:2", "toggle 0"} << "Strategy id=1 name=Day [Area control_source=1 id=3]";
        QTest::newRow("zone without areas") << "8" << "" << QStringList{"name Lonely"} << "areas";
    }
    void edit()
    {
        QFETCH(QString, zone);
        QFETCH(QString, strategy);
        QFETCH(QStringList, actions);
        QFETCH(QString, outcome);
        open(zone, strategy);
        const QString before = doc.toString();
        for (const QString& action : actions << "ok") {
            const QString verb = action.section(' ', 0, 0), rest = action.section(' ', 1);
            if (verb == "ok") {
                Drive::clickButton(dialog.data());
            } else if (verb == "red") {
                QCOMPARE(redMarks(), rest);
            } else if (verb == "id" || verb == "name") {
                Drive::retype(dialog->findChild<QWidget*>(verb == "id" ? "stratId" : "stratName"), rest);
            } else {
                QWidget* editor = Drive::openCellEditor(table, rest.section(' ', 0, 0).toInt(), verb == "toggle" ? 1 : 2);
                if (verb == "source")
                    QVERIFY2(Drive::choose(editor, rest.section(' ', 1)), qPrintable(action));
            }
        }
        if (dialog->isVisible()) {
            QCOMPARE(redMarks(), outcome);
        } else {
            QCOMPARE(redMarks(), QString());
            QCOMPARE(describe(dialog->strategyElement(doc)), outcome);
            QCOMPARE(doc.toString(), before);
        }
    }

    // The module carries Russian texts and shows them once installed; English
    // stays the source. Last: the English row takes the translation away again.
    void followsTheLanguage_data()
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
    void followsTheLanguage()
    {
        QFETCH(QLocale, locale);
        QFETCH(bool, installed);
        QFETCH(QString, title);
        QFETCH(QString, header);
        QCOMPARE(Velmora::installTranslation(locale), installed);
        parseXml(&doc, zonesXml);
        const QDomElement zone = doc.documentElement().firstChildElement();
        StratEditDlg editor(zone.firstChildElement("Areas"), zone.firstChildElement("Strategies"), QDomElement());
        QCOMPARE(editor.windowTitle(), title);
        QCOMPARE(editor.findChild<QTableWidget*>("areas")->horizontalHeaderItem(2)->text(), header);
    }
};

QTEST_MAIN(StratEditDlgTest)
#include "tst_strateditdlg.moc"
