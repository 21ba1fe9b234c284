// The TRANSYT import dialog, offscreen, with the interpreter initialised by
// the module; and the imported area taking the edited one's place.
#pragma push_macro("slots")
#undef slots
#include <Python.h>
#pragma pop_macro("slots")

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTextBlock>
#include <QTextEdit>
#include <QtTest>

#include <memory>

#include "DomText.h"
#include "PythonLeaks.h"
#include "Velmora/import/EmbeddedPython.h"
#include "Velmora/import/KeepGeometry.h"
#include "Velmora/import/TolImportDlg.h"

using Velmora::EmbeddedPython;

namespace {

const QString dataDir = QStringLiteral(VELMORA_TEST_DATA "/transyt/");
const QString smallReport = dataDir + QStringLiteral("small.html");

QPushButton* button(TolImportDlg* dialog, QDialogButtonBox::StandardButton which = QDialogButtonBox::Ok)
{
    return dialog->findChild<QDialogButtonBox*>()->button(which);
}
QTextEdit* logOf(TolImportDlg* dialog) { return dialog->findChild<QTextEdit*>(QStringLiteral("output")); }
QStringList lines(TolImportDlg* dialog) { return logOf(dialog)->toPlainText().split(QLatin1Char('\n')); }

// The log's text that is shown in red.
QString redText(TolImportDlg* dialog)
{
    QString red;
    for (QTextBlock block = logOf(dialog)->document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().foreground().color() == Qt::red)
                red += it.fragment().text() + QLatin1Char('\n');
    return red;
}

// The dialog polls its worker with a timer of its own, gone once it has finished.
QList<QAbstractEventDispatcher::TimerInfo> polls(TolImportDlg* dialog)
{
    return QAbstractEventDispatcher::instance()->registeredTimers(dialog);
}

// Rather than wait out the once-a-second poll: once the worker has ended and
// all it wrote has arrived, the dialog gets its timer's event.
void finishImport(TolImportDlg* dialog)
{
    auto* module = dialog->findChild<EmbeddedPython*>();
    QVERIFY(module);
    QTRY_VERIFY_WITH_TIMEOUT(!module->call(QStringLiteral("th.is_alive")).toBool(), 60000);
    QCoreApplication::sendPostedEvents();
    QCOMPARE(polls(dialog).size(), 1);
    QTimerEvent poll(polls(dialog).first().timerId);
    QCoreApplication::sendEvent(dialog, &poll);
    QVERIFY(polls(dialog).isEmpty());
}

} // namespace

class TolImportDlgTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(!Py_IsInitialized());
        m_hooks = std::make_unique<EmbeddedPython>();
        QVERIFY(m_hooks->isValid());
        m_threads = threadCount();
        patch("import sys, threading, bs4, lxml.etree\noriginals = (bs4.BeautifulSoup, lxml.etree.tostring)\n");
    }
    void cleanupTestCase() { QTRY_COMPARE(threadCount(), m_threads); }
    void cleanup() { patch("bs4.BeautifulSoup, lxml.etree.tostring = originals\nsys.modules['bs4'] = bs4\n"); }

    void failedImport_data()
    {
        QTest::addColumn<QString>("hook");
        QTest::addColumn<QString>("report");
        QTest::addColumn<bool>("worker");
        QTest::addColumn<QStringList>("red");
        QTest::addColumn<QString>("shown"); // the result text, shown as it is; empty: none
        // A trace keeps its indentation.
        QTest::newRow("report lacks a table")
            << "" << dataDir + "missing-table.html" << true
            << QStringList{"Traceback", "\n  File ", "ReportError", "\"Morning\"", "Resultant Stages"} << "";
        // The script stops while it starts, on this thread: nothing is left to poll.
        QTest::newRow("library missing") << "sys.modules['bs4'] = None" << smallReport << false
                                         << QStringList{"ModuleNotFoundError", "bs4", "in <module>"} << "";
        // Refused before the document parser recurses through every level; it starts with an HTML tag, which the
        // log must not render.
        QTest::newRow("result nested 30,000 deep")
            << "lxml.etree.tostring = lambda *a, **k: b'<a>' * 30000 + b'</a>' * 30000" << smallReport << true
            << QStringList{"output xml parsing error (line 1,column 772): Elements nested deeper than 256 levels"}
            << QString("<a>").repeated(30000) + QString("</a>").repeated(30000);
    }
    void failedImport()
    {
        QFETCH(QString, hook);
        QFETCH(QString, report);
        QFETCH(bool, worker);
        QFETCH(QStringList, red);
        QFETCH(QString, shown);
        patch(hook);
        TolImportDlg dialog(report);
        // The interpreter lock is free while the dialog waits for its worker.
        QVERIFY(!PyGILState_Check());
        QCOMPARE(polls(&dialog).isEmpty(), !worker);
        if (worker)
            finishImport(&dialog);
        const QString redLines = redText(&dialog);
        for (const QString& part : red)
            QVERIFY2(redLines.contains(part), qPrintable(redLines));
        const QStringList log = lines(&dialog);
        QCOMPARE(log.contains(QStringLiteral("завершено")), !shown.isEmpty());
        if (!shown.isEmpty())
            QCOMPARE(log.at(log.size() - 2) + (redLines.contains(shown) ? " (in red)" : ""), shown);
        QVERIFY(!button(&dialog)->isEnabled() && dialog.result().isNull());
    }

    // A conversion cancelled half way stops its worker at the next step; the
    // next import must still give the whole result, and nothing of the first.
    void cancelWhileConverting()
    {
        // The report's parser waits for the test's go-ahead, so the worker is
        // certainly inside the conversion when the dialog goes.
        patch("gate = threading.Event()\nworkers = []\ndef held(*args, **kwargs):\n"
              "    workers.append(threading.current_thread())\n    gate.wait(60)\n"
              "    return originals[0](*args, **kwargs)\nbs4.BeautifulSoup = held\n"
              "written = []\ndef recorded(*args, **kwargs):\n    written.append(threading.current_thread())\n"
              "    return originals[1](*args, **kwargs)\nlxml.etree.tostring = recorded\n");
        const auto workers = [this] { return m_hooks->variable(QStringLiteral("workers")).toList().size(); };
        auto first = std::make_unique<TolImportDlg>(smallReport);
        QTRY_COMPARE(workers(), 1);
        QTRY_VERIFY(lines(first.get()).contains(QStringLiteral("нормализация html")));
        button(first.get(), QDialogButtonBox::Cancel)->click();
        QCOMPARE(first->QDialog::result(), int(QDialog::Rejected));
        first.reset();
        // A second import runs while the first one's worker is still there.
        TolImportDlg second(smallReport);
        QDomDocument old;
        second.setReplacedArea(parseXml(&old, "<Area id=\"21\"><Controllers>201,116</Controllers><States><State id=\"1\"/>"
                                              "<State id=\"2\"/></States><Calendar><DayCards><DayCard id=\"1\"/></DayCards>"
                                              "<SpecialDays><SpecialDay day=\"01.05\"/></SpecialDays></Calendar></Area>"));
        QTRY_COMPARE(workers(), 2);
        patch("gate.set()");
        finishImport(&second);
        QVERIFY(button(&second)->isEnabled());
        // The orphan stopped before it made a result; what it wrote was already posted, and went nowhere.
        patch("workers[0].join(30)\nseen = [workers[0].is_alive(), workers[0] in written, workers[1] in written]");
        QCOMPARE(m_hooks->variable(QStringLiteral("seen")).toList(), (QVariantList{false, false, true}));
        QCoreApplication::sendPostedEvents();
        QCOMPARE(lines(&second), (QStringList{"обработка файла " + smallReport, "нормализация html",
                                              "преобразование html в xml", "обработка xml-данных",
                                              "обработка состояния id=1 \"Morning (Твкл.=07:30, Тц=60)\"",
                                              "обработка состояния id=2 \"Weekend (Твкл.=09:00, Тц=50)\"",
                                              "создание выходных данных", "завершено",
                                              "Pressing OK replaces 2 states, 1 day card, 1 special day; controller 116 "
                                              "leaves the area; controllers 202 and 203 join the area; the outline is kept."}));
        QCOMPARE(redText(&second), QString());
        QCOMPARE(describe(second.result()), describeXml(readFile(dataDir + QStringLiteral("small-expected.xml"))));
    }

    void keepGeometry_data()
    {
        QTest::addColumn<QString>("oldId"); // empty: no area was being edited
        QTest::addColumn<QString>("expected");
        const QString rest = QStringLiteral("<Controllers>1,2</Controllers><States/></Area>");
        const QString kept = "<Area id=\"3\"><Geometry>49.1,55.7;49.2,55.7;49.2,55.8</Geometry>" + rest;
        const QString blank = "<Area id=\"3\"><Geometry/>" + rest;
        // The import's own outlines always give way.
        QTest::newRow("outline carried over") << "3" << kept;
        QTest::newRow("edited area without outline") << "4" << blank;
        QTest::newRow("empty outline element") << "5" << blank;
        QTest::newRow("no edited area") << "" << "";
    }
    void keepGeometry()
    {
        QFETCH(QString, oldId);
        QFETCH(QString, expected);
        QDomDocument zone, other, expectedDocument;
        QDomElement areas = parseXml(&zone, R"(<Areas>
            <Area id="3"><Geometry>49.1,55.7;49.2,55.7;49.2,55.8</Geometry><Controllers>112</Controllers></Area>
            <Area id="4"><Controllers/></Area><Area id="5"><Geometry/></Area></Areas>)");
        QDomElement old;
        for (QDomElement a = areas.firstChildElement(); !a.isNull() && !oldId.isEmpty(); a = a.nextSiblingElement())
            old = a.attribute("id") == oldId ? a : old;
        const QString oldBefore = describe(old);
        const QDomElement fresh = parseXml(&other, "<Area id=\"3\"><Geometry>0,0;1,1</Geometry><Controllers>1,2"
                                                   "</Controllers><Geometry>2,2</Geometry><States/></Area>");

        const QDomElement result = Velmora::keepGeometry(fresh, old);
        if (old.isNull()) {
            QVERIFY(result == fresh);
            return;
        }
        QCOMPARE(describe(result), describe(parseXml(&expectedDocument, expected)));
        QCOMPARE(describe(old), oldBefore);
        QVERIFY(result.ownerDocument() == zone);
        // The area takes the old one's place, and the outline editor can set its text.
        QVERIFY(!areas.replaceChild(result, old).isNull());
        QDomNode text = result.firstChildElement("Geometry").firstChild();
        QVERIFY(text.isText());
        text.setNodeValue("7,7;8,7;8,8");
        QCOMPARE(result.firstChildElement("Geometry").text(), QStringLiteral("7,7;8,7;8,8"));
    }

private:
    // Runs Python in a module of the test's own, to patch what the script uses.
    void patch(const QString& source) { QVERIFY(m_hooks->runScript(source)); }
    std::unique_ptr<EmbeddedPython> m_hooks;
    int m_threads = 0;
};

QTEST_MAIN(TolImportDlgTest)
#include "tst_tolimportdlg.moc"