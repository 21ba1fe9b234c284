// The embedded interpreter class, in a process whose "host" initialised Python
// before the module was used: the module must take that interpreter as it is.
#pragma push_macro("slots")
#undef slots
#include <Python.h>
#pragma pop_macro("slots")

#include <QCoreApplication>
#include <QThread>
#include <QtTest>

#include <memory>

#include "PythonLeaks.h"
#include "Velmora/import/EmbeddedPython.h"

using Velmora::EmbeddedPython;

namespace {

// What one module's signals delivered, and on which threads.
struct Received
{
    QStringList out;
    QStringList err;
    QSet<QThread*> threads;

    explicit Received(EmbeddedPython* module)
    {
        QObject::connect(module, &EmbeddedPython::stdOut, module, [this](const QString& text) {
            threads << QThread::currentThread();
            if (!text.trimmed().isEmpty())
                out << text;
        });
        QObject::connect(module, &EmbeddedPython::stdErr, module, [this](const QString& text) {
            threads << QThread::currentThread();
            err << text;
        });
    }
    QString errText() const { return err.join(QString()); }
};

// What the host printed to its own stream, read as the host reads it: outside any module of ours.
QString hostOutput()
{
    PyGILState_STATE state = PyGILState_Ensure();
    QString text;
    if (PyObject* value = PyObject_CallMethod(PyDict_GetItemString(PyModule_GetDict(PyImport_AddModule("__main__")),
                                                                   "host_out"),
                                              "getvalue", nullptr)) {
        text = QString::fromUtf8(PyUnicode_AsUTF8(value));
        Py_DECREF(value);
    }
    PyGILState_Release(state);
    return text;
}

} // namespace

class EmbeddedPythonTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { QTRY_COMPARE(threadCount(), m_threads); }
    void hostInterpreterIsKept();
    void variables_data();
    void variables();
    void calls_data();
    void calls();
    void errors_data();
    void errors();
    void outputOfTheCallingThread();
    void workerRunsWhileTheCallerWaitsInTheEventLoop();
    void workerOutputArrivesQueuedToItsModule();
    void droppedModuleDiscardsLateOutput();

private:
    int m_threads = 0;
};

void EmbeddedPythonTest::initTestCase()
{
    QVERIFY(!Py_IsInitialized());
    Py_InitializeEx(0);
    PyRun_SimpleString("import io, sys\nsys.host_marker = 42\nhost_out = io.StringIO()\nsys.stdout = host_out\n");
    // A host that lets Python threads run while it is in its own event loop.
    PyEval_SaveThread();
    QVERIFY(EmbeddedPython::initialise());
    m_threads = threadCount();
}

void EmbeddedPythonTest::hostInterpreterIsKept()
{
    EmbeddedPython module;
    QVERIFY(module.isValid());
    QVERIFY(module.runScript(QStringLiteral("import sys\nmarker = sys.host_marker")));
    QCOMPARE(module.variable(QStringLiteral("marker")), QVariant(42LL));
    QVERIFY(!PyGILState_Check());

    // The host's own output still goes where the host sent it.
    Received received(&module);
    PyGILState_STATE state = PyGILState_Ensure();
    PyRun_SimpleString("print('printed by the host')");
    PyGILState_Release(state);
    QCOMPARE(hostOutput(), QStringLiteral("printed by the host\n"));
    QVERIFY(received.out.isEmpty());

    // Modules are distinct and go away from sys.modules with their object.
    auto other = std::make_unique<EmbeddedPython>();
    QVERIFY(other->runScript(QStringLiteral("x = 1")));
    QVERIFY(module.variable(QStringLiteral("x")).isNull());
    module.setVariable(QStringLiteral("name"), other->moduleName());
    QVERIFY(module.runScript(QStringLiteral("before = name in sys.modules")));
    other.reset();
    QVERIFY(module.runScript(QStringLiteral("after = name in sys.modules")));
    QCOMPARE(module.variable(QStringLiteral("before")), QVariant(true));
    QCOMPARE(module.variable(QStringLiteral("after")), QVariant(false));
}

void EmbeddedPythonTest::variables_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("pythonType");
    QTest::addColumn<QVariant>("readBack");

    QTest::newRow("text") << QVariant(QStringLiteral("Заречье — юг")) << "str"
                          << QVariant(QStringLiteral("Заречье — юг"));
    QTest::newRow("path with quotes") << QVariant(QStringLiteral("C:\\a \"b\"\\c.html")) << "str"
                                      << QVariant(QStringLiteral("C:\\a \"b\"\\c.html"));
    QTest::newRow("64-bit") << QVariant(-(Q_INT64_C(1) << 40)) << "int" << QVariant(-(Q_INT64_C(1) << 40));
    QTest::newRow("double") << QVariant(2.5) << "float" << QVariant(2.5);
    QTest::newRow("bool") << QVariant(true) << "bool" << QVariant(true);
    QTest::newRow("invalid is None") << QVariant() << "NoneType" << QVariant();
    QTest::newRow("bytes") << QVariant(QByteArray("a\0b", 3)) << "bytes" << QVariant(QByteArray("a\0b", 3));
    QTest::newRow("string list") << QVariant(QStringList{"a", "б"}) << "list"
                                 << QVariant(QVariantList{QStringLiteral("a"), QStringLiteral("б")});
}

void EmbeddedPythonTest::variables()
{
    QFETCH(QVariant, value);
    QFETCH(QString, pythonType);
    QFETCH(QVariant, readBack);

    EmbeddedPython module;
    QVERIFY(module.setVariable(QStringLiteral("v"), value));
    QVERIFY(module.runScript(QStringLiteral("t = type(v).__name__\ncopy = v")));
    QCOMPARE(module.variable(QStringLiteral("t")).toString(), pythonType);
    QCOMPARE(module.variable(QStringLiteral("copy")), readBack);
}

void EmbeddedPythonTest::calls_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("callable");
    QTest::addColumn<QVariant>("result");
    QTest::addColumn<QString>("error"); // empty: the call succeeds

    QTest::newRow("method by path") << "class A:\n    def f(self):\n        return [1, 'b']\na = A()" << "a.f"
                                    << QVariant(QVariantList{1LL, QStringLiteral("b")}) << "";
    QTest::newRow("builtin") << "" << "list" << QVariant(QVariantList{}) << "";
    QTest::newRow("missing name") << "" << "nothing" << QVariant() << "NameError";
    QTest::newRow("missing attribute") << "import os" << "os.nothing" << QVariant() << "AttributeError";
    QTest::newRow("needs arguments") << "def g(a):\n    pass" << "g" << QVariant() << "TypeError";
}

void EmbeddedPythonTest::calls()
{
    QFETCH(QString, setup);
    QFETCH(QString, callable);
    QFETCH(QVariant, result);
    QFETCH(QString, error);

    EmbeddedPython module;
    Received received(&module);
    QVERIFY(module.runScript(setup));
    bool called = error.isEmpty();
    QCOMPARE(module.call(callable, &called), result);
    QCOMPARE(called, error.isEmpty());
    QVERIFY2(error.isEmpty() ? received.err.isEmpty() : received.errText().contains(error),
             qPrintable(received.errText()));
}

void EmbeddedPythonTest::errors_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("syntax") << "def (:" << QStringList{"SyntaxError", "script.py"};
    QTest::newRow("exception with trace") << "def f():\n    raise ValueError('boom')\nf()"
                                          << QStringList{"Traceback", "script.py\", line 3", "ValueError: boom"};
    // Printed the usual way, SystemExit would end the host.
    QTest::newRow("exit") << "import sys\nsys.exit(3)" << QStringList{"SystemExit: 3"};
}

void EmbeddedPythonTest::errors()
{
    QFETCH(QString, source);
    QFETCH(QStringList, expected);

    EmbeddedPython module;
    Received received(&module);
    QVERIFY(!module.runScript(source, QStringLiteral("script.py")));
    for (const QString& part : expected)
        QVERIFY2(received.errText().contains(part), qPrintable(received.errText()));
    QVERIFY(received.out.isEmpty());
    // Still usable afterwards, and nothing leaked to the host's stream.
    QVERIFY(module.runScript(QStringLiteral("ok = 1")));
    QVERIFY(!hostOutput().contains(QLatin1String("Error")));
}

void EmbeddedPythonTest::outputOfTheCallingThread()
{
    EmbeddedPython module;
    Received received(&module);
    QVERIFY(module.runScript(QStringLiteral("import sys\nprint('first')\nsys.stderr.write('second\\n')\n"
                                            "sys.stdout.writelines(['third'])")));
    // Delivered while the call runs, with no event loop in between.
    QCOMPARE(received.out, (QStringList{"first", "third"}));
    QCOMPARE(received.err, QStringList{"second\n"});

    QVERIFY(!module.runFile(QStringLiteral("/nonexistent/script.py")));
    QVERIFY(received.errText().contains(QLatin1String("/nonexistent/script.py")));
}

void EmbeddedPythonTest::workerRunsWhileTheCallerWaitsInTheEventLoop()
{
    EmbeddedPython module;
    // CPU-bound: the worker needs the interpreter lock all the time, so it
    // only finishes if this thread does not keep the lock between calls.
    QVERIFY(module.runScript(QStringLiteral("import threading, time\n"
                                            "def work():\n"
                                            "    end = time.monotonic() + 0.05\n"
                                            "    while time.monotonic() < end:\n"
                                            "        pass\n"
                                            "th = threading.Thread(target=work)\n"
                                            "th.start()\n")));
    QVERIFY(!PyGILState_Check());
    QTRY_VERIFY_WITH_TIMEOUT(!module.call(QStringLiteral("th.is_alive")).toBool(), 10000);
}

// A's worker writes while B's runs to its end inside B's call: each module
// gets its own lines, later and on this thread, and B the trace of its
// worker's uncaught exception, printed after the worker's code returned.
void EmbeddedPythonTest::workerOutputArrivesQueuedToItsModule()
{
    const QString source = QStringLiteral("import threading, time\n"
                                          "def work():\n"
                                          "    for i in range(5):\n"
                                          "        print(f'{tag} {i}')\n"
                                          "        time.sleep(0.001)\n"
                                          "    if tag == 'B':\n"
                                          "        raise RuntimeError('worker failed')\n"
                                          "th = threading.Thread(target=work)\n"
                                          "th.start()\n"
                                          "if tag == 'B':\n"
                                          "    th.join()\n");
    EmbeddedPython a;
    EmbeddedPython b;
    Received fromA(&a);
    Received fromB(&b);
    QVERIFY(a.setVariable(QStringLiteral("tag"), QStringLiteral("A")));
    QVERIFY(b.setVariable(QStringLiteral("tag"), QStringLiteral("B")));
    QVERIFY(a.runScript(source));
    QVERIFY(b.runScript(source));
    QVERIFY(fromB.out.isEmpty());
    QTRY_VERIFY(fromA.out.size() == 5 && fromB.out.size() == 5);
    QCOMPARE(fromA.out, (QStringList{"A 0", "A 1", "A 2", "A 3", "A 4"}));
    QCOMPARE(fromB.out, (QStringList{"B 0", "B 1", "B 2", "B 3", "B 4"}));
    QTRY_VERIFY(fromB.errText().contains(QLatin1String("RuntimeError: worker failed")));
    QVERIFY(fromA.err.isEmpty());
    QCOMPARE(fromA.threads + fromB.threads, QSet<QThread*>{QThread::currentThread()});
}

// Output of a worker whose module is gone reaches neither another module nor the host.
void EmbeddedPythonTest::droppedModuleDiscardsLateOutput()
{
    EmbeddedPython observer;
    Received observed(&observer);
    QVERIFY(observer.runScript(QStringLiteral("import sys, threading, types\n"
                                              "gate = types.ModuleType('embedded_test_gate')\n"
                                              "gate.open, gate.done = threading.Event(), threading.Event()\n"
                                              "sys.modules['embedded_test_gate'] = gate\n")));
    auto dropped = std::make_unique<EmbeddedPython>();
    Received early(dropped.get());
    QVERIFY(dropped->runScript(QStringLiteral("import sys, threading, embedded_test_gate as gate\n"
                                              "def work():\n"
                                              "    print('early')\n"
                                              "    gate.open.wait(30)\n"
                                              "    print('late')\n"
                                              "    sys.stderr.write('late error\\n')\n"
                                              "    gate.done.set()\n"
                                              "threading.Thread(target=work, daemon=True).start()\n")));
    QTRY_COMPARE(early.out, QStringList{"early"});
    dropped.reset();

    QVERIFY(observer.runScript(QStringLiteral("gate.open.set()\nfinished = gate.done.wait(30)")));
    QCOMPARE(observer.variable(QStringLiteral("finished")), QVariant(true));
    // What the worker wrote was posted before it ended.
    QCoreApplication::sendPostedEvents();
    QVERIFY(observed.out.isEmpty() && observed.err.isEmpty());
    QVERIFY(!hostOutput().contains(QLatin1String("late")));
}

QTEST_GUILESS_MAIN(EmbeddedPythonTest)
#include "tst_embeddedpython.moc"
