#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include "OffscreenLeaks.h"
#include "Velmora/editors/ZoneEditDlg.h"

// The zone editor's "Check" lists what the checker finds in the configuration
// as edited, and a click on a finding selects the row it is about.
class ZoneCheckTest : public QObject
{
    Q_OBJECT
private slots:
    void findingSelectsItsRow_data();
    void findingSelectsItsRow();
};

void ZoneCheckTest::findingSelectsItsRow_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("found");    // in the first finding's text
    QTest::addColumn<QString>("selected"); // "strategy ID", "area ID" or "" for nothing to select
    QTest::newRow("strategy using a missing area") << "check/unknown-area.xtsc" << "error: Strategy 2 uses area 8"
                                                   << "strategy 2";
    QTest::newRow("area card naming a missing state") << "check/unknown-state.xtsc" << "names state 9" << "area 1";
    QTest::newRow("a clean zone") << "check/clean.xtsc" << "No faults found." << "";
}

void ZoneCheckTest::findingSelectsItsRow()
{
    QFETCH(QString, file);
    QFETCH(QString, found);
    QFETCH(QString, selected);
    ZoneEditDlg dialog(QStringLiteral(VELMORA_TEST_DATA "/") + file);
    dialog.show();
    auto* check = dialog.findChild<QPushButton*>(QStringLiteral("checkZone"));
    QVERIFY(check);
    QTest::mouseClick(check, Qt::LeftButton);
    auto* findings = dialog.findChild<QListWidget*>(QStringLiteral("findings"));
    QVERIFY(findings && findings->count() > 0);
    QVERIFY2(findings->item(0)->text().contains(found), qPrintable(findings->item(0)->text()));
    QTest::mouseClick(findings->viewport(), Qt::LeftButton, {},
                      findings->visualItemRect(findings->item(0)).center());
    const QString kind = selected.section(QLatin1Char(' '), 0, 0);
    const QString id = selected.section(QLatin1Char(' '), 1);
    if (kind == QLatin1String("strategy")) {
        auto* strategies = dialog.findChild<QTableWidget*>(QStringLiteral("strategies"));
        QCOMPARE(strategies->currentRow() >= 0 ? strategies->item(strategies->currentRow(), 0)->text() : QString(), id);
    } else if (kind == QLatin1String("area")) {
        auto* areas = dialog.findChild<QListWidget*>(QStringLiteral("areas"));
        QVERIFY(areas->currentItem());
        QVERIFY2(areas->currentItem()->text().startsWith(id + QStringLiteral(" (")),
                 qPrintable(areas->currentItem()->text()));
    }
    // Checking informs; it changes nothing that acceptance looks at.
    QVERIFY(dialog.isVisible());
}

QTEST_MAIN(ZoneCheckTest)
#include "tst_zonecheck.moc"
