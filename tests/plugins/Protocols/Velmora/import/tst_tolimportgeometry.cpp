// An imported area takes the place of the edited one but keeps its outline.
#include <QDomDocument>
#include <QtTest>

#include "DomText.h"
#include "Velmora/import/KeepGeometry.h"

namespace {

const char* const zoneXml = R"(<Zone id="1">
    <Areas>
        <Area id="3" name="Old Town">
            <Geometry>49.1,55.7;49.2,55.7;49.2,55.8</Geometry>
            <Controllers>112,113</Controllers>
        </Area>
        <Area id="4" name="No outline"><Controllers/></Area>
        <Area id="5" name="Empty outline"><Geometry/></Area>
    </Areas>
</Zone>)";

QDomElement area(const QDomDocument& document, const QString& id)
{
    for (QDomElement a = document.documentElement().firstChildElement("Areas").firstChildElement("Area");
         !a.isNull(); a = a.nextSiblingElement("Area"))
        if (a.attribute("id") == id)
            return a;
    return QDomElement();
}

} // namespace

class TolImportGeometryTest : public QObject
{
    Q_OBJECT

private slots:
    void keepGeometry_data();
    void keepGeometry();
    void nullOldAreaLeavesTheImport();
};

void TolImportGeometryTest::keepGeometry_data()
{
    QTest::addColumn<QString>("oldId");
    QTest::addColumn<QString>("imported");
    QTest::addColumn<bool>("sameDocument");
    QTest::addColumn<QString>("expected");

    const QString imported = R"(<Area id="3" name="Imported"><Controllers>1,2</Controllers><Calendar/><States/></Area>)";
    QTest::newRow("outline carried over, first")
        << "3" << imported << false
        << R"(<Area id="3" name="Imported"><Geometry>49.1,55.7;49.2,55.7;49.2,55.8</Geometry><Controllers>1,2</Controllers><Calendar/><States/></Area>)";
    QTest::newRow("already in the editor's document") << "3" << imported << true
        << R"(<Area id="3" name="Imported"><Geometry>49.1,55.7;49.2,55.7;49.2,55.8</Geometry><Controllers>1,2</Controllers><Calendar/><States/></Area>)";
    QTest::newRow("edited area without outline")
        << "4" << imported << false
        << R"(<Area id="3" name="Imported"><Geometry></Geometry><Controllers>1,2</Controllers><Calendar/><States/></Area>)";
    QTest::newRow("empty outline element") << "5" << imported << false
        << R"(<Area id="3" name="Imported"><Geometry></Geometry><Controllers>1,2</Controllers><Calendar/><States/></Area>)";
    QTest::newRow("the import's own outlines give way")
        << "3" << R"(<Area id="9"><Geometry>0,0;1,1</Geometry><States/><Geometry>2,2</Geometry></Area>)" << false
        << R"(<Area id="9"><Geometry>49.1,55.7;49.2,55.7;49.2,55.8</Geometry><States/></Area>)";
}

void TolImportGeometryTest::keepGeometry()
{
    QFETCH(QString, oldId);
    QFETCH(QString, imported);
    QFETCH(bool, sameDocument);
    QFETCH(QString, expected);

    QDomDocument zone;
    parseXml(&zone, zoneXml);
    const QDomElement old = area(zone, oldId);
    const QString oldBefore = describe(old);
    QDomDocument other;
    QDomElement fresh = parseXml(&other, imported);
    if (sameDocument)
        fresh = zone.importNode(fresh, true).toElement();

    const QDomElement result = Velmora::keepGeometry(fresh, old);

    QDomDocument expectedDocument;
    QCOMPARE(describe(result), describe(parseXml(&expectedDocument, expected)));
    QCOMPARE(describe(old), oldBefore);
    QVERIFY(result.ownerDocument() == zone);

    // The area takes the old one's place, and the outline editor can set its text.
    QDomElement areas = zone.documentElement().firstChildElement("Areas");
    QVERIFY(!areas.replaceChild(result, old).isNull());
    QVERIFY(result.parentNode() == areas);
    QVERIFY(old.parentNode().isNull());
    QDomNode text = result.firstChildElement("Geometry").firstChild();
    QVERIFY(text.isText());
    text.setNodeValue("7,7;8,7;8,8");
    QCOMPARE(result.firstChildElement("Geometry").text(), QStringLiteral("7,7;8,7;8,8"));
}

void TolImportGeometryTest::nullOldAreaLeavesTheImport()
{
    QDomDocument other;
    const QDomElement fresh = parseXml(&other, R"(<Area id="2"><States/></Area>)");
    const QDomElement result = Velmora::keepGeometry(fresh, QDomElement());
    QVERIFY(result == fresh);
    QVERIFY(result.firstChildElement("Geometry").isNull());
}

QTEST_GUILESS_MAIN(TolImportGeometryTest)
#include "tst_tolimportgeometry.moc"
