#include <QtTest>
#include <QtWidgets>

#include "DomText.h"
#include "MessageCapture.h"
#include "QtOwnLeaks.h"
#include "Velmora/Plugin.h"
#include "Velmora/editors/ZoneEditDlg.h"
#include "WidgetDriver.h"

namespace {

// The worked example, named in Cyrillic so that an encoding slip shows.
const char* const zoneXml = R"(<Zone id="7" name="Север"><Geometry>0,0;1000,0;1000,800;0,800</Geometry>
<Calendar><DayCards><DayCard id="1"><Time strategy_id="1">06:00</Time><Time strategy_id="2">22:00</Time></DayCard>
</DayCards><WeekDistribution>1,1,1,1,1,1,1</WeekDistribution></Calendar>
<Strategies><Strategy id="1" name="День" default="1"><Area id="3" control_source="1"/></Strategy>
<Strategy id="2" name="Ночь"><Area id="3" control_source="3"/></Strategy></Strategies>
<Areas><Area id="3" name="Центр"><Geometry>10,10;500,10;500,400</Geometry><Controllers>101,102</Controllers>
<States><State id="1" name="Пик"><Controller id="101" state="2"/><Controller id="102" state="1"/></State></States>
<Calendar><WeekDistribution>1,1,1,1,1,,</WeekDistribution><DayCards><DayCard id="1"><Time state_id="1">07:00</Time>
</DayCard></DayCards></Calendar></Area></Areas></Zone>)";

// The root object with the user's answers given in advance: save-file dialogs take the next answer (none left: cancel),
// warning boxes are counted.
class AnsweredRoot : public Velmora::Plugin
{
public:
    QStringList answers;
    QStringList asked; // proposed file names
    QStringList warnings;

protected:
    QString askSaveFileName(QWidget*, const QString& caption, const QString& proposed, const QString& filter) override
    {
        asked << caption + " | " + filter + " | " + QFileInfo(proposed).fileName();
        return answers.isEmpty() ? QString() : answers.takeFirst();
    }
    void showWarning(QWidget*, const QString& title, const QString&) override { warnings << title; }
};

QObject* load(QObject* root, const QString& path)
{
    QObject* zone = nullptr;
    QMetaObject::invokeMethod(root, "load", Q_RETURN_ARG(QObject*, zone), Q_ARG(QString, path));
    return zone;
}

// The files there before (zone.xtsc holds the example, others old text); the target ("." is the folder); how writing
// fails ("", "blocked", "name": no file name; "cp1251" is none: the example in windows-1251, edited under a
// Latin-1 locale); what the user does in the editor and answers the save-file dialogs; the names those propose; the
// file written, none when empty.
struct WriteCase { QStringList existing; QString target, failure, user; QStringList answers, asked; QString written; };

} // namespace

Q_DECLARE_METATYPE(WriteCase)

// editZone as a host calls it: the editor placed over the host's window, the accepted zone written back and announced.
class EditZoneTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    QString path(const QString& name) const { return name == "." ? dir.path() : dir.filePath(name); }

    // Opens the editor as a host does, over its main window, and finishes it as the user does: "ok", "cancel", or "new
    // NAME", which names a new zone and accepts it past the editor's own checks (its own test's matter).
    void edit(AnsweredRoot* root, const QString& target, const QString& user)
    {
        QMainWindow window;
        QObject storage;
        QVERIFY(QMetaObject::invokeMethod(root, "editZone", Q_ARG(QString, target), Q_ARG(QObject*, &storage)));
        QPointer<QDialog> editor = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(editor && editor->isModal() && editor->parentWidget() == &window);
        QCOMPARE(qobject_cast<ZoneEditDlg*>(editor)->cnfStorage.data(), &storage);
        QCOMPARE(editor->property("zone_file").toString(), target);
        if (user.startsWith("new ")) {
            QTest::keyClicks(editor->findChild<QLineEdit*>("zoneName"), user.mid(4));
            editor->accept();
        } else {
            const auto button = user == "ok" ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel;
            QTest::mouseClick(editor->findChild<QDialogButtonBox*>("buttonBox")->button(button), Qt::LeftButton);
        }
        QTRY_VERIFY(!editor); // deleted, whatever the result
    }

private slots:
    void init() { QVERIFY(dir.isValid() && QDir(dir.path()).removeRecursively() && QDir().mkpath(dir.path())); }

    void writeBack_data()
    {
        QTest::addColumn<WriteCase>("c");
        const QStringList none, zone{"zone.xtsc"}, fresh{"Fresh.xtsc"};
        QTest::newRow("folder, name free") << WriteCase{zone, ".", "", "new Fresh", none, none, "Fresh.xtsc"};
        QTest::newRow("folder, name taken: another file")
            << WriteCase{fresh, ".", "", "new Fresh", {"Other.xtsc"}, fresh, "Other.xtsc"};
        QTest::newRow("folder, name taken: cancelled") << WriteCase{fresh, ".", "", "new Fresh", none, fresh, ""};
        QTest::newRow("editor cancelled") << WriteCase{zone, "zone.xtsc", "", "cancel", none, none, ""};
        QTest::newRow("windows-1251 file, Latin-1 locale") << WriteCase{zone, "zone.xtsc", "cp1251", "ok", none, none, "zone.xtsc"};
        // After a failed write the user is warned and offered the save-file dialog.
        QTest::newRow("folder is a file, given up") << WriteCase{zone, "blocker/zone.xtsc", "blocked", "new Fresh", none, zone, ""};
        QTest::newRow("folder is a file, saved elsewhere")
            << WriteCase{zone, "blocker/zone.xtsc", "blocked", "new Fresh", {"other.xtsc"}, zone, "other.xtsc"};
        // A name that is no plain file name is refused before anything is written; the user may pick a file.
        QTest::newRow("folder, name a path out: given up") << WriteCase{zone, ".", "name", "new ../escape", none, {""}, ""};
        QTest::newRow("folder, name with a separator: saved where chosen")
            << WriteCase{zone, ".", "name", "new a/b", {"chosen.xtsc"}, {""}, "chosen.xtsc"};
    }
    void writeBack()
    {
        QFETCH(WriteCase, c);
        const bool cp1251 = c.failure == "cp1251";
        const QByteArray example = cp1251 ? "<?xml version='1.0' encoding='windows-1251'?>\n"
                + QTextCodec::codecForName("windows-1251")->fromUnicode(QString::fromUtf8(zoneXml)) : QByteArray(zoneXml);
        QMap<QString, QByteArray> before{{"blocker", "not a folder"}};
        for (const QString& file : c.existing)
            before[file] = file == "zone.xtsc" ? example : "old " + file.toUtf8();
        QTextCodec* const codec = QTextCodec::codecForLocale();
        const QLocale locale;
        const auto restore = qScopeGuard([codec, locale] {
            QTextCodec::setCodecForLocale(codec);
            QLocale::setDefault(locale);
        });
        if (cp1251) {
            QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
            QLocale::setDefault(QLocale(QLocale::German));
        }
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QVERIFY(writeFile(path(it.key()), it.value()));
        AnsweredRoot root;
        for (const QString& answer : c.answers)
            root.answers << path(answer);
        QSignalSpy edited(&root, SIGNAL(zoneEdited(QString)));
        MessageCapture messages;
        edit(&root, path(c.target), c.user);
        // Nothing outside the folder, whatever the name said.
        QVERIFY(!QFile::remove(dir.filePath("../escape.xtsc")));
        QCOMPARE(root.asked, c.asked.replaceInStrings(QRegularExpression("^"), "Select file for save | zone configuration files (*.xtsc) | "));
        const QString refused = "Zone name \"" + c.user.mid(4) + "\" is no file name: nothing written to " + path(c.target);
        const QStringList failed{c.failure == "name" ? refused : "Cannot open file " + path(c.target) + " for writing"};
        const bool failure = !c.failure.isEmpty() && !cp1251;
        QCOMPARE(messages.messages().filter(dir.path()), failure ? failed : QStringList());
        QCOMPARE(root.warnings, failure ? QStringList{"Error"} : QStringList());
        // Files other than the one written are as they were; no half-written file is left.
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            if (it.key() != c.written)
                QCOMPARE(readFile(path(it.key())), it.value());
        QStringList files = before.keys();
        if (!c.written.isEmpty() && !files.contains(c.written))
            files << c.written;
        // A replaced file's old content stays beside it.
        if (before.contains(c.written)) {
            files << c.written + ".bak";
            QCOMPARE(readFile(path(c.written + ".bak")), before.value(c.written));
        }
        files.sort(Qt::CaseInsensitive);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), files);
        QCOMPARE(edited.count(), c.written.isEmpty() ? 0 : 1);
        if (c.written.isEmpty())
            return;
        QCOMPARE(edited.first().first().toString(), path(c.written));
        QObject* zone = load(&root, path(c.written));
        QVERIFY(zone);
        QCOMPARE(zone->property("name").toString(), c.user == "ok" ? QString::fromUtf8("Север") : c.user.mid(4));
        // UTF-8, and a declaration only where the file had one.
        const QByteArray written = readFile(path(c.written));
        QTextCodec::ConverterState state;
        QTextCodec::codecForName("UTF-8")->toUnicode(written.constData(), written.size(), &state);
        QCOMPARE(state.invalidChars, 0);
        QCOMPARE(written.left(written.indexOf("<Zone ")), cp1251 ? "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" : "");
    }

    // Accepting an untouched zone writes it back as it was: the same
    // configuration hash, and a file the module wrote comes back byte for byte.
    void untouchedZoneKept_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QByteArray>("file");
        for (const char* file : {VELMORA_EXAMPLES "/north.xtsc", VELMORA_EXAMPLES "/zarechny.xtsc",
                                    VELMORA_TEST_DATA "/check/clean.xtsc",
                                    VELMORA_TEST_DATA "/workstation/schedule-week.xtsc"})
            QTest::newRow(qPrintable(QFileInfo(file).fileName())) << QString(file) << readFile(file);
        const QByteArray worked = QByteArray(zoneXml).replace(R"(<Zone id="7" name="Север">)", R"(<Zone name="Север" id="7">)");
        QTest::newRow("worked example, name first") << QString() << worked;
    }
    void untouchedZoneKept()
    {
        QFETCH(QString, source);
        QFETCH(QByteArray, file);
        QVERIFY(!file.isEmpty());
        const QString target = path("zone.xtsc");
        QVERIFY(writeFile(target, file));
        AnsweredRoot root;
        const QObject* original = load(&root, target);
        QVERIFY(original);
        const QByteArray hash = original->property("localHash").toByteArray();
        QByteArray previous = file;
        for (int round = 0; round < 2; ++round) {
            edit(&root, target, "ok");
            const QByteArray written = readFile(target);
            const QObject* reloaded = load(&root, target);
            QVERIFY(reloaded);
            QCOMPARE(reloaded->property("localHash").toByteArray(), hash);
            if (!source.isEmpty() || round > 0)
                QCOMPARE(written, previous);
            previous = written;
        }
    }

    // Another save while the editor was open is not overwritten unasked: OK says what it changed, and the user saves
    // anyway (the other version kept as the backup) or goes back to editing (nothing written).
    void savedMeanwhile_data()
    {
        QTest::addColumn<QString>("meanwhile"); // "changed", "deleted", or "" for nothing
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("told");      // the box, "" for none
        const QString changed = "fileChanged: The file %1 was saved by someone else after this editor opened it. | The other save "
                                "changed:\nStrategy 2 \"Вечер\": name \"Ночь\" \u2192 \"Вечер\"\n\nSave anyway "
                                "replaces these changes; the other version is kept as the backup file.";
        const QString deleted = "fileChanged: The file %1 was deleted after this editor opened it. | Save anyway writes it again.";
        QTest::newRow("nothing meanwhile: written unasked") << "" << "" << "";
        QTest::newRow("changed, saved anyway") << "changed" << "Save anyway" << changed;
        QTest::newRow("changed, back to editing") << "changed" << "Back to editing" << changed;
        QTest::newRow("deleted, saved anyway") << "deleted" << "Save anyway" << deleted;
    }
    void savedMeanwhile()
    {
        QFETCH(QString, meanwhile);
        QFETCH(QString, answer);
        QFETCH(QString, told);
        const QString target = path("zone.xtsc");
        QVERIFY(writeFile(target, zoneXml));
        AnsweredRoot root;
        QMainWindow window;
        QVERIFY(QMetaObject::invokeMethod(&root, "editZone", Q_ARG(QString, target)));
        QPointer<QDialog> editor = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        QVERIFY(editor);
        auto* name = editor->findChild<QLineEdit*>("zoneName");
        name->selectAll();
        QTest::keyClicks(name, "South");
        const QByteArray other = QByteArray(zoneXml).replace("\"Ночь\"", "\"Вечер\"");
        if (meanwhile == "changed")
            QVERIFY(writeFile(target, other));
        else if (meanwhile == "deleted")
            QVERIFY(QFile::remove(target));
        PopupAnswerer answerer(QString(), answer);
        QTest::mouseClick(editor->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Ok), Qt::LeftButton);
        QCOMPARE(answerer.boxes.join(" / "), told.isEmpty() ? told : told.arg(target));
        const bool back = answer == "Back to editing";
        QCOMPARE(bool(editor) && editor->isVisible(), back);
        QTRY_COMPARE(bool(editor), back);
        const QByteArray before = meanwhile == "changed" ? other : meanwhile == "deleted" ? QByteArray() : QByteArray(zoneXml);
        if (back) {
            QCOMPARE(readFile(target), before);
            delete editor;
        } else {
            QVERIFY(readFile(target).contains("name=\"South\""));
        }
        // The version saved over stays beside it; a deleted one has none.
        QCOMPARE(QFile::exists(target + ".bak"), !back && meanwhile != "deleted");
        if (QFile::exists(target + ".bak"))
            QCOMPARE(readFile(target + ".bak"), before);
    }
};

QTEST_MAIN(EditZoneTest)
#include "tst_editzone.moc"
