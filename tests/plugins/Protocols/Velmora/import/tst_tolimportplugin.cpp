// The import inside a library opened with RTLD_LOCAL, the way hosts open the module: the interpreter's extension
// modules (lxml) must still load. This program links neither the module nor Python, so nothing of either is in the
// global scope beforehand.
#include <QApplication>
#include <QtTest>

#include "PythonLeaks.h"

class TolImportPluginTest : public QObject
{
    Q_OBJECT

private slots:
    void importFromALocallyLoadedLibrary();
};

void TolImportPluginTest::importFromALocallyLoadedLibrary()
{
    QLibrary probe(QStringLiteral(TOLIMPORT_PROBE));
    QCOMPARE(probe.loadHints() & QLibrary::ExportExternalSymbolsHint, QLibrary::LoadHints());
    QVERIFY2(probe.load(), qPrintable(probe.errorString()));
    using Probe = bool (*)(const QString&, QString*);
    const auto run = reinterpret_cast<Probe>(probe.resolve("tolImportProbe"));
    QVERIFY(run);

    const int threads = threadCount();
    QString text;
    QVERIFY2(run(QStringLiteral(VELMORA_TEST_DATA "/transyt/small.html"), &text), qPrintable(text));
    QVERIFY2(text.startsWith(QLatin1String("<Area ")) && text.contains(QLatin1String("<Controllers>201,202,203<")),
             qPrintable(text));
    QTRY_COMPARE(threadCount(), threads);
}

QTEST_MAIN(TolImportPluginTest)
#include "tst_tolimportplugin.moc"
