// The watch on the open zones' files: a file whose content another program changed is reported once its writes
// settled, with what it held before, which is read off the GUI thread when the watch begins.
#include "ZoneFileWatcher.h"

#include <QtTest>

#include "DomText.h"
#include "Until.h"

using namespace Velmora;

class ZoneFileWatcherTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void reports_data()
    {
        QTest::addColumn<QStringList>("steps"); // "write:TEXT" in place, "replace:TEXT", "delete", "settle", "unwatch"
        QTest::addColumn<QStringList>("reported"); // what the file held before each change reported
        // The watch begins on "A"; each case ends with a settle.
        QTest::newRow("written in place") << QStringList{"settle", "write:B"} << QStringList{"A"};
        QTest::newRow("replaced by renaming") << QStringList{"settle", "replace:B"} << QStringList{"A"};
        QTest::newRow("written again as it was") << QStringList{"settle", "write:A", "replace:A"} << QStringList{};
        QTest::newRow("changes in a row settle into one")
            << QStringList{"settle", "write:B", "replace:C", "write:D"} << QStringList{"A"};
        QTest::newRow("changed back") << QStringList{"settle", "write:B", "settle", "write:A"} << QStringList{"A", "B"};
        // Gone for a while, the file cannot be watched itself: its folder sees it come back.
        QTest::newRow("deleted, then written anew")
            << QStringList{"settle", "delete", "settle", "write:B"} << QStringList{"A"};
        QTest::newRow("no longer watched") << QStringList{"settle", "unwatch", "write:B"} << QStringList{};
        // Its first content may not be read yet: the change is reported all the same, with what the file held
        // when that is known. (Versions written within one tick of the file system's clock differ in length here:
        // the reading tells them apart by length and times.)
        QTest::newRow("changed as the watch begins") << QStringList{"replace:BB"} << QStringList{"A or unknown"};
    }
    void reports()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, reported);
        QVERIFY(m_dir.isValid());
        const QString file = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(' ', '_') + ".xtsc");
        const QString control = m_dir.filePath("control.xtsc"); // changed to know when the file's changes settled
        QVERIFY(writeFile(file, "A") && writeFile(control, ""));
        ZoneFileWatcher watcher;
        QSignalSpy changed(&watcher, &ZoneFileWatcher::fileChanged);
        watcher.watch(control);
        watcher.watch(file);
        int settles = 0;
        for (const QString& step : steps + QStringList{"settle"}) {
            const QByteArray text = step.section(':', 1).toUtf8();
            if (step.startsWith("write:"))
                QVERIFY(writeFile(file, text));
            else if (step.startsWith("replace:"))
                QVERIFY(replaceFile(file, text));
            else if (step == "delete")
                QVERIFY(QFile::remove(file));
            else if (step == "unwatch")
                watcher.unwatch(file);
            else if (step == "settle") {
                ++settles;
                QVERIFY(writeFile(control, QByteArray(settles, 'x')));
                const auto controlReported = [&] {
                    return std::count_if(changed.cbegin(), changed.cend(), [&](const QList<QVariant>& signal) {
                               return signal.at(0).toString() == control;
                           }) == settles;
                };
                QVERIFY2(until(controlReported, 10000), qPrintable(step));
            } else
                QFAIL(qPrintable("unknown step " + step));
        }
        QStringList before;
        for (const QList<QVariant>& signal : qAsConst(changed)) {
            if (signal.at(0).toString() != file)
                continue;
            const QByteArray text = signal.at(1).toByteArray();
            before << (reported.value(before.size()) == "A or unknown" && (text == "A" || text.isNull())
                           ? "A or unknown"
                           : QString::fromUtf8(text));
        }
        QCOMPARE(before, reported);
    }
};

QTEST_GUILESS_MAIN(ZoneFileWatcherTest)
#include "tst_zonefilewatcher.moc"
