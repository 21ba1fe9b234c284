#include "EditorTest.h"
#include "Until.h"
#include "Velmora/editors/AreaList.h"
#include "Velmora/editors/DomMetaType.h"
#include "Velmora/editors/FindingsWindow.h"
#include "Velmora/editors/OpenedFile.h"
#include "Velmora/editors/OpenedText.h"
#include "Velmora/format/XmlDocument.h"
#include "Velmora/format/XmlText.h"

using Velmora::Editors::AreaList;
using Velmora::Editors::FindingsWindow;
using Velmora::Editors::OpenedFile;
using Velmora::Editors::OpenedText;

namespace {

const char* const zone = R"(<Zone id="7" name="North"><Strategies><Strategy id="1" name="Day" default="1"/></Strategies>
<Areas><Area id="3" name="Centre"><Geometry>10,10;500,10;500,400</Geometry></Area>
<Area id="4" name="River"/><Area id="5" name="Lake"><Geometry>1,1;2,1;2,2</Geometry></Area></Areas></Zone>)";

// "3:visible" per area item, "3:-" for an item without a preview.
QString previewStates(const QListWidget& list)
{
    QStringList states;
    for (int row = 0; row < list.count(); ++row) {
        const QVariant preview = list.item(row)->data(Qt::UserRole + 1);
        const auto* item = preview.isValid() ? static_cast<QGraphicsItem*>(preview.value<QGraphicsPathItem*>()) : nullptr;
        states << AreaList::elementOf(list.item(row)).attribute("id") + ":"
                      + (item ? (item->isVisible() ? "visible" : "hidden") : "-");
    }
    return states.join(' ');
}

int pathItems(const QGraphicsScene& scene)
{
    const QList<QGraphicsItem*> items = scene.items();
    return int(std::count_if(items.cbegin(), items.cend(),
                             [](QGraphicsItem* item) { return item->type() == QGraphicsPathItem::Type; }));
}

} // namespace

Q_DECLARE_METATYPE(QGraphicsPathItem*)

// The parts the zone editor is made of, each on its own.
class ZoneEditorPartsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    // A finding is about the row of the area, strategy or zone day card its path lies in.
    void placeOf_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("place"); // the row's kind, a blank, its id
        QTest::newRow("an area's own day card is the area's") << "Areas/Area[id=12]/Calendar/DayCards/DayCard[id=1]"
                                                              << "area 12";
        QTest::newRow("a strategy's area") << "Strategies/Strategy[id=2]/Area[id=8]" << "strategy 2";
        QTest::newRow("a zone day card's entry") << "Calendar/DayCards/DayCard[id=5]/Time[2]" << "day card 5";
        QTest::newRow("the week: no row") << "Calendar/WeekDistribution" << "none ";
        QTest::newRow("an id that is no number") << "Areas/Area[id=x]" << "none ";
    }
    void placeOf()
    {
        QFETCH(QString, path);
        QFETCH(QString, place);
        const char* const kinds[] = {"none", "area", "strategy", "day card"};
        const FindingsWindow::Place found = FindingsWindow::placeOf(path);
        QCOMPARE(kinds[found.kind] + (' ' + found.id), place);
    }

    // Only the current area's preview shows; a removed or refilled area's preview follows, and none outlives the
    // list. Without a map there are none.
    void previews_data()
    {
        QTest::addColumn<bool>("onMap");
        QTest::addColumn<QStringList>("steps"); // "current ROW", "remove ROW", "outline ROW TEXT"
        QTest::addColumn<QString>("shown");
        QTest::newRow("the current one shows, moving on hides the last") << true << QStringList{"current 0", "current 2"}
                                                   << "3:hidden 4:- 5:visible";
        QTest::newRow("an area without an outline shows none") << true << QStringList{"current 0", "current 1"}
                                                                << "3:hidden 4:- 5:hidden";
        QTest::newRow("the current one removed") << true << QStringList{"current 0", "remove 0", "current 1"}
                                                 << "4:- 5:visible";
        QTest::newRow("refilled, the current one stays in view")
            << true << QStringList{"current 0", "outline 0 0,0;9,9;9,0"} << "3:visible 4:- 5:hidden";
        QTest::newRow("an outline given later gets a preview") << true << QStringList{"outline 1 0,0;1,1;1,0"}
                                                               << "3:hidden 4:hidden 5:hidden";
        QTest::newRow("no map") << false << QStringList{"current 2"} << "3:- 4:- 5:-";
    }
    void previews()
    {
        QFETCH(bool, onMap);
        QFETCH(QStringList, steps);
        QFETCH(QString, shown);
        QDomDocument document;
        const QDomElement areas = parseXml(&document, zone).firstChildElement("Areas");
        QGraphicsScene scene;
        QListWidget list;
        {
            AreaList areaList(&list, onMap ? &scene : nullptr);
            areaList.fill(areas);
            for (const QString& step : steps) {
                const QStringList w = step.split(' ');
                QListWidgetItem* item = list.item(w[1].toInt());
                if (w[0] == "current") {
                    areaList.showPreviewOf(w[1].toInt());
                } else if (w[0] == "remove") {
                    areaList.remove(item);
                } else {
                    QDomElement area = AreaList::elementOf(item);
                    Velmora::Xml::setText(Velmora::Xml::ensureChild(area, "Geometry"), w[2]);
                    areaList.fillItem(area, item);
                }
            }
            QCOMPARE(previewStates(list), shown);
            QCOMPARE(pathItems(scene), shown.count(":hidden") + shown.count(":visible"));
        }
        QCOMPARE(pathItems(scene), 0);
    }

    // The bytes as read tell whether another save replaced the file, and what it changed.
    void changedOnDisk_data()
    {
        QTest::addColumn<QByteArray>("now");  // the file's bytes when saving; "-": deleted
        QTest::addColumn<QString>("outcome"); // changed or same, deleted or there, how many lines say what
        const QByteArray opened = "<Zone id=\"7\" name=\"North\"><Areas/></Zone>";
        QTest::newRow("saved again alike") << opened << "same there 0";
        QTest::newRow("only the layout") << QByteArray("<Zone id=\"7\" name=\"North\">\n    <Areas/>\n</Zone>\n")
                                         << "changed there 0";
        QTest::newRow("renamed") << QByteArray("<Zone id=\"7\" name=\"South\"><Areas/></Zone>") << "changed there 1";
        QTest::newRow("no XML now: said why") << QByteArray("<Zone") << "changed there 1";
        QTest::newRow("deleted") << QByteArray("-") << "changed deleted 0";
    }
    void changedOnDisk()
    {
        QFETCH(QByteArray, now);
        QFETCH(QString, outcome);
        const QString path = dir.filePath("zone.xtsc");
        QVERIFY(writeFile(path, "<Zone id=\"7\" name=\"North\"><Areas/></Zone>"));
        OpenedFile file(path);
        QDomDocument document;
        Velmora::Xml::ReadError error;
        QVERIFY(!file.wasRead());
        QVERIFY(file.read(&document, &error));
        QVERIFY(file.wasRead());
        QVERIFY(now == "-" ? QFile::remove(path) : writeFile(path, now));
        bool gone = false;
        QStringList said;
        const bool changed = file.changedOnDisk(&gone, &said);
        QCOMPARE(QString("%1 %2 %3").arg(changed ? "changed" : "same", gone ? "deleted" : "there").arg(said.size()),
                 outcome);
    }

    // The opened text is the form before the first input anywhere, taken once the editor was drawn at the latest.
    void openedText_data()
    {
        QTest::addColumn<QString>("before"); // what happens while the form still says "opened"
        QTest::addColumn<QString>("text");   // the opened text once the form says "edited"
        QTest::newRow("asked before anything happened") << "" << "edited";
        QTest::newRow("a key in another window") << "key" << "opened";
        QTest::newRow("a click in the editor") << "click" << "opened";
        QTest::newRow("the editor drawn") << "drawn" << "opened";
    }
    void openedText()
    {
        QFETCH(QString, before);
        QFETCH(QString, text);
        QWidget editor;
        QLineEdit field(&editor);
        QLineEdit elsewhere;
        QByteArray form = "opened";
        int taken = 0;
        auto* opened = new OpenedText(&editor, [&] { return ++taken, form; });
        if (before == "key")
            QTest::keyClick(&elsewhere, Qt::Key_A);
        else if (before == "click")
            QTest::mouseClick(&field, Qt::LeftButton);
        else if (before == "drawn") {
            showExposed(&editor);
            QVERIFY(until([&] { return taken > 0; }));
        }
        form = "edited";
        QCOMPARE(opened->text(), QByteArray(text.toLatin1()));
        QCOMPARE(opened->text(), QByteArray(text.toLatin1()));
        QCOMPARE(taken, 1);
    }
};

QTEST_MAIN(ZoneEditorPartsTest)
#include "tst_zoneeditorparts.moc"
