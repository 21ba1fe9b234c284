// The TRANSYT import dialog, offscreen, with the interpreter initialised by the module.
#pragma push_macro("slots")
#undef slots
#include <Python.h>
#pragma pop_macro("slots")

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QDialogButtonBox>
#include <QDomDocument>
#include <QPushButton>
#include <QResource>
#include <QTextBlock>
#include <QTextEdit>
#include <QtTest>

#include <memory>

#include "DomText.h"
#include "PythonLeaks.h"
#include "Velmora/import/EmbeddedPython.h"
#include "Velmora/import/TolImportDlg.h"

using Velmora::EmbeddedPython;

namespace {

const QString dataDir = QStringLiteral(VELMORA_TEST_DATA "/transyt/");
const QString smallReport = dataDir + QStringLiteral("small.html");

QTextEdit* logOf(TolImportDlg* dialog)
{
    return dialog->findChild<QTextEdit*>(QStringLiteral("output"));
}

QPushButton* okOf(TolImportDlg* dialog)
{
    return dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))->button(QDialogButtonBox::Ok);
}

QStringList lines(TolImportDlg* dialog)
{
    return logOf(dialog)->toPlainText().split(QLatin1Char('\n'));
}

// The log's text that is shown in red.
QString redText(TolImportDlg* dialog)
{
    QString red;
    for (QTextBlock block = logOf(dialog)->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().foreground().color() == Qt::red)
                red += fragment.text() + QLatin1Char('\n');
        }
    }
    return red;
}

// The dialog polls its worker with a timer of its own, gone once it has finished.
bool pollingEnded(TolImportDlg* dialog)
{
    return QAbstractEventDispatcher::instance()->registeredTimers(dialog).isEmpty();
}

QString expectedArea()
{
    return describeXml(readFile(dataDir + QStringLiteral("small-expected.xml")));
}

} // namespace

class TolImportDlgTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void form();
    void brokenReport_data();
    void brokenReport();
    void missingLibrary();
    void resultThatIsNotXml();
    void cancelWhileConverting();

private:
    // Runs Python in a module of the test's own, to patch what the script uses.
    void patch(const QString& source);
    std::unique_ptr<EmbeddedPython> m_hooks;
};

void TolImportDlgTest::initTestCase()
{
    QVERIFY(!Py_IsInitialized());
    m_hooks = std::make_unique<EmbeddedPython>();
    QVERIFY(m_hooks->isValid());
    QVERIFY(Py_IsInitialized());
    QVERIFY(m_hooks->runScript(QStringLiteral("import sys, threading, bs4, lxml.etree\n"
                                              "originals = (bs4.BeautifulSoup, lxml.etree.tostring)\n")));
}

void TolImportDlgTest::cleanup()
{
    QVERIFY(m_hooks->runScript(QStringLiteral("bs4.BeautifulSoup, lxml.etree.tostring = originals\n"
                                              "sys.modules['bs4'] = bs4\n")));
}

void TolImportDlgTest::patch(const QString& source)
{
    QVERIFY(m_hooks->runScript(source));
}

void TolImportDlgTest::form()
{
    TolImportDlg dialog(smallReport);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Import report data"));
    QCOMPARE(dialog.size(), QSize(523, 263));
    QVERIFY(!okOf(&dialog)->isEnabled());
    QVERIFY(dialog.result().isNull());
    // The interpreter lock is free while the dialog waits for its worker.
    QVERIFY(!PyGILState_Check());
    // The script is carried compressed.
    QResource resource(QStringLiteral(":/script/transyt2velmora.py"));
    QVERIFY(resource.isValid());
    QVERIFY(resource.compressionAlgorithm() != QResource::NoCompression);
}

void TolImportDlgTest::brokenReport_data()
{
    QTest::addColumn<QString>("report");
    QTest::addColumn<QStringList>("error");

    QTest::newRow("missing table") << dataDir + "missing-table.html"
                                   << QStringList{"Traceback", "ReportError", "\"Morning\"", "Resultant Stages"};
    QTest::newRow("missing file") << dataDir + "no-such-report.html"
                                  << QStringList{"FileNotFoundError", "no-such-report.html"};
}

void TolImportDlgTest::brokenReport()
{
    QFETCH(QString, report);
    QFETCH(QStringList, error);

    TolImportDlg dialog(report);
    QTRY_VERIFY_WITH_TIMEOUT(pollingEnded(&dialog), 60000);
    const QString red = redText(&dialog);
    for (const QString& part : error)
        QVERIFY2(red.contains(part), qPrintable(red));
    // A trace keeps its indentation.
    QVERIFY2(red.contains(QLatin1String("\n  File ")), qPrintable(red));
    QVERIFY(!lines(&dialog).contains(QStringLiteral("завершено")));
    QVERIFY(!okOf(&dialog)->isEnabled());
    QVERIFY(dialog.result().isNull());
}

void TolImportDlgTest::missingLibrary()
{
    patch(QStringLiteral("sys.modules['bs4'] = None"));
    TolImportDlg dialog(smallReport);
    // The script stops while it starts, on this thread; nothing is left to poll.
    QVERIFY(pollingEnded(&dialog));
    const QString red = redText(&dialog);
    QVERIFY2(red.contains(QLatin1String("ModuleNotFoundError")) && red.contains(QLatin1String("bs4")), qPrintable(red));
    QVERIFY2(red.contains(QLatin1String("in <module>")), qPrintable(red));
    QVERIFY(!okOf(&dialog)->isEnabled());
}

void TolImportDlgTest::resultThatIsNotXml()
{
    // Starts with an HTML tag: the log must still show it as it is.
    const QString text = QStringLiteral("<p>not an <b>area</p>");
    patch(QStringLiteral("lxml.etree.tostring = lambda *a, **k: b\"%1\"").arg(text));
    TolImportDlg dialog(smallReport);
    QTRY_VERIFY_WITH_TIMEOUT(pollingEnded(&dialog), 60000);

    QDomDocument document;
    QString message;
    int line = 0;
    int column = 0;
    QVERIFY(!document.setContent(text, &message, &line, &column));
    const QStringList log = lines(&dialog);
    QCOMPARE(log.mid(log.size() - 3),
             (QStringList{"завершено", text,
                          QStringLiteral("output xml parsing error (line %1,column %2): %3")
                              .arg(line)
                              .arg(column)
                              .arg(message)}));
    QCOMPARE(redText(&dialog), log.last() + QLatin1Char('\n'));
    QVERIFY(!okOf(&dialog)->isEnabled());
    QVERIFY(dialog.result().isNull());
}

// A conversion cancelled half way leaves its worker running; the next import
// must still give the whole result, and nothing of the first.
void TolImportDlgTest::cancelWhileConverting()
{
    // The report's parser waits for the test's go-ahead, so the worker is
    // certainly inside the conversion when the dialog goes.
    patch(QStringLiteral("gate = threading.Event()\n"
                         "workers = []\n"
                         "def held(*args, **kwargs):\n"
                         "    workers.append(threading.current_thread())\n"
                         "    gate.wait(60)\n"
                         "    return originals[0](*args, **kwargs)\n"
                         "bs4.BeautifulSoup = held\n"));

    auto first = std::make_unique<TolImportDlg>(smallReport);
    QTRY_COMPARE(m_hooks->variable(QStringLiteral("workers")).toList().size(), 1);
    QTRY_VERIFY(lines(first.get()).contains(QStringLiteral("нормализация html")));
    first->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    QCOMPARE(first->QDialog::result(), int(QDialog::Rejected));
    first.reset();

    // A second import runs while the first one's worker is still there.
    TolImportDlg second(smallReport);
    QTRY_COMPARE(m_hooks->variable(QStringLiteral("workers")).toList().size(), 2);
    patch(QStringLiteral("gate.set()"));
    QTRY_VERIFY_WITH_TIMEOUT(okOf(&second)->isEnabled(), 60000);

    // The orphan ran to its end after its module was dropped; what it wrote
    // was already posted, and went nowhere.
    patch(QStringLiteral("workers[0].join(30)\norphan_done = not workers[0].is_alive()"));
    QCOMPARE(m_hooks->variable(QStringLiteral("orphan_done")), QVariant(true));
    QCoreApplication::sendPostedEvents();
    QCOMPARE(lines(&second), (QStringList{"обработка файла " + smallReport, "нормализация html",
                                          "преобразование html в xml", "обработка xml-данных",
                                          "обработка состояния id=1 \"Morning (Твкл.=07:30, Тц=60)\"",
                                          "обработка состояния id=2 \"Weekend (Твкл.=09:00, Тц=50)\"",
                                          "создание выходных данных", "завершено"}));
    QCOMPARE(redText(&second), QString());
    // The area as converted, without an outline of its own.
    QCOMPARE(describe(second.result()), expectedArea());
    QVERIFY(second.result().firstChildElement(QStringLiteral("Geometry")).isNull());
    okOf(&second)->click();
    QCOMPARE(second.QDialog::result(), int(QDialog::Accepted));
}

QTEST_MAIN(TolImportDlgTest)
#include "tst_tolimportdlg.moc"
