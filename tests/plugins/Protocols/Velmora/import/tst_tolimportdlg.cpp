// The TRANSYT import dialog, offscreen, with the interpreter initialised by the module.
#pragma push_macro("slots")
#undef slots
#include <Python.h>
#pragma pop_macro("slots")

#include <QApplication>
#include <QDialogButtonBox>
#include <QDomDocument>
#include <QFileDialog>
#include <QPushButton>
#include <QResource>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

#include <memory>

#include "DomText.h"
#include "PythonLeaks.h"
#include "Velmora/import/EmbeddedPython.h"
#include "Velmora/import/TolImportDlg.h"

using Velmora::EmbeddedPython;

namespace {

const QString dataDir = QStringLiteral(VELMORA_TEST_DATA "/transyt/");

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

QDomElement readExpected(QDomDocument* document, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !document->setContent(&file))
        qFatal("cannot read %s", qPrintable(path));
    return document->documentElement();
}

// The dialog polls once a second; after this long with the worker done it has finished.
void waitForLastPoll()
{
    QTest::qWait(1300);
}

} // namespace

class TolImportDlgTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void form();
    void goodReport_data();
    void goodReport();
    void brokenReport_data();
    void brokenReport();
    void missingLibrary();
    void resultThatIsNotXml();
    void cancelWhileConverting();
    void selectReportRemembersTheDirectory();

private:
    // Runs Python in a module of the test's own, to patch what the script uses.
    void patch(const QString& source);
    std::unique_ptr<EmbeddedPython> m_hooks;
};

void TolImportDlgTest::initTestCase()
{
    QVERIFY(!Py_IsInitialized());
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("velmora-tests"));
    QCoreApplication::setApplicationName(QStringLiteral("tst_tolimportdlg"));
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
    const QString script = QStringLiteral(":/script/transyt2velmora.py");
    TolImportDlg dialog(dataDir + QStringLiteral("small.html"));
    QCOMPARE(dialog.metaObject()->className(), "TolImportDlg");
    QCOMPARE(dialog.objectName(), QStringLiteral("TolImportDlg"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Import report data"));
    QCOMPARE(dialog.size(), QSize(523, 263));
    QVERIFY(!okOf(&dialog)->isEnabled());
    QVERIFY(dialog.result().isNull());
    // The interpreter lock is free while the dialog waits for its worker.
    QVERIFY(!PyGILState_Check());
    // The script is carried compressed.
    QResource resource(script);
    QVERIFY(resource.isValid());
    QVERIFY(resource.compressionAlgorithm() != QResource::NoCompression);
}

void TolImportDlgTest::goodReport_data()
{
    QTest::addColumn<QString>("report");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QStringList>("stateLines");

    QTest::newRow("small") << dataDir + "small.html" << dataDir + "small-expected.xml"
                           << QStringList{"обработка состояния id=1 \"Morning (Твкл.=07:30, Тц=60)\"",
                                          "обработка состояния id=2 \"Weekend (Твкл.=09:00, Тц=50)\""};
    QTest::newRow("example") << QStringLiteral(VELMORA_EXAMPLES "/transyt/old-town.html") << QString()
                             << QStringList{"обработка состояния id=1 \"Morning peak (Твкл.=07:00, Тц=90)\"",
                                            "обработка состояния id=2 \"Off-peak (Твкл.=10:00, Тц=80)\"",
                                            "обработка состояния id=3 \"Evening peak (Твкл.=16:30, Тц=100)\"",
                                            "ошибка в \"{Velmora:w1,2,3,4,5,8}\": индекс 8 выходит за "
                                            "разрешённые пределы",
                                            "обработка состояния id=4 \"Night (Твкл.=22:00, Тц=60)\""};
}

void TolImportDlgTest::goodReport()
{
    QFETCH(QString, report);
    QFETCH(QString, expected);
    QFETCH(QStringList, stateLines);

    TolImportDlg dialog(report);
    QTRY_VERIFY_WITH_TIMEOUT(okOf(&dialog)->isEnabled(), 60000);

    const QStringList expectedLines = QStringList{"обработка файла " + report, "нормализация html",
                                                  "преобразование html в xml", "обработка xml-данных"}
        + stateLines + QStringList{"создание выходных данных", "завершено"};
    QCOMPARE(lines(&dialog), expectedLines);
    QCOMPARE(redText(&dialog), QString());

    const QDomElement area = dialog.result();
    QCOMPARE(area.tagName(), QStringLiteral("Area"));
    QVERIFY(area.firstChildElement(QStringLiteral("Geometry")).isNull());
    if (!expected.isEmpty()) {
        QDomDocument document;
        QCOMPARE(domText(area), domText(readExpected(&document, expected)));
    }

    okOf(&dialog)->click();
    QCOMPARE(dialog.QDialog::result(), int(QDialog::Accepted));
}

void TolImportDlgTest::brokenReport_data()
{
    QTest::addColumn<QString>("report");
    QTest::addColumn<QStringList>("error");

    QTest::newRow("missing table") << dataDir + "missing-table.html"
                                   << QStringList{"Traceback", "ReportError", "\"Morning\"", "Resultant Stages"};
    QTest::newRow("missing file") << dataDir + "no-such-report.html"
                                  << QStringList{"FileNotFoundError", "no-such-report.html"};
    QTest::newRow("not a report") << dataDir + "small-expected.xml" << QStringList{"ReportError"};
}

void TolImportDlgTest::brokenReport()
{
    QFETCH(QString, report);
    QFETCH(QStringList, error);

    TolImportDlg dialog(report);
    QTRY_VERIFY_WITH_TIMEOUT(redText(&dialog).contains(error.last()), 60000);
    waitForLastPoll();
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
    TolImportDlg dialog(dataDir + QStringLiteral("small.html"));
    // The script stops while it starts, on this thread; nothing is left to poll.
    const QString red = redText(&dialog);
    QVERIFY2(red.contains(QLatin1String("ModuleNotFoundError")) && red.contains(QLatin1String("bs4")), qPrintable(red));
    QVERIFY2(red.contains(QLatin1String("in <module>")), qPrintable(red));
    waitForLastPoll();
    QVERIFY(!okOf(&dialog)->isEnabled());
    QCOMPARE(redText(&dialog), red);
}

void TolImportDlgTest::resultThatIsNotXml()
{
    // Starts with an HTML tag: the log must still show it as it is.
    const QString text = QStringLiteral("<p>not an <b>area</p>");
    patch(QStringLiteral("lxml.etree.tostring = lambda *a, **k: b\"%1\"").arg(text));
    TolImportDlg dialog(dataDir + QStringLiteral("small.html"));
    QTRY_VERIFY_WITH_TIMEOUT(!redText(&dialog).isEmpty(), 60000);

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
    const QString report = dataDir + QStringLiteral("small.html");

    auto first = std::make_unique<TolImportDlg>(report);
    QTRY_COMPARE(m_hooks->variable(QStringLiteral("workers")).toList().size(), 1);
    QTRY_VERIFY(lines(first.get()).contains(QStringLiteral("нормализация html")));
    first->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
    QCOMPARE(first->QDialog::result(), int(QDialog::Rejected));
    first.reset();

    // A second import runs while the first one's worker is still there.
    TolImportDlg second(report);
    QTRY_COMPARE(m_hooks->variable(QStringLiteral("workers")).toList().size(), 2);
    patch(QStringLiteral("gate.set()"));
    QTRY_VERIFY_WITH_TIMEOUT(okOf(&second)->isEnabled(), 60000);

    // The orphan ran to its end after its module was dropped, and its output went nowhere.
    patch(QStringLiteral("workers[0].join(30)\norphan_done = not workers[0].is_alive()"));
    QCOMPARE(m_hooks->variable(QStringLiteral("orphan_done")), QVariant(true));
    QTest::qWait(100);
    const QStringList log = lines(&second);
    QCOMPARE(log.count(QStringLiteral("нормализация html")), 1);
    QCOMPARE(log.count(QStringLiteral("завершено")), 1);
    QCOMPARE(redText(&second), QString());
    QDomDocument document;
    QCOMPARE(domText(second.result()), domText(readExpected(&document, dataDir + "small-expected.xml")));
}

void TolImportDlgTest::selectReportRemembersTheDirectory()
{
    QTemporaryDir first;
    QTemporaryDir second;
    QVERIFY(first.isValid() && second.isValid());
    const QString report = second.filePath(QStringLiteral("report.html"));
    QFile(report).open(QIODevice::WriteOnly);
    QSettings settings(QSettings::IniFormat, QSettings::UserScope, QCoreApplication::organizationName(),
                       QCoreApplication::applicationName());
    settings.setValue(QStringLiteral("TolOfdDir"), first.path());
    settings.sync();

    QString shownDir;
    QStringList filters;
    // The file dialog is modal: answer it once it is up.
    QTimer::singleShot(0, this, [&] {
        QFileDialog* dialog = nullptr;
        QTRY_VERIFY(dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget()));
        shownDir = dialog->directory().absolutePath();
        filters = dialog->nameFilters();
        dialog->selectFile(report);
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog makes it protected
    });
    QCOMPARE(TolImportDlg::selectReport(nullptr), report);
    QCOMPARE(shownDir, QDir(first.path()).absolutePath());
    QCOMPARE(filters, QStringList{"HTML files (*.html *.htm)"});
    settings.sync();
    QCOMPARE(settings.value(QStringLiteral("TolOfdDir")).toString(), QDir(second.path()).absolutePath());
    QCOMPARE(settings.format(), QSettings::IniFormat);
}

QTEST_MAIN(TolImportDlgTest)
#include "tst_tolimportdlg.moc"
