// The embedded interpreter class, in a process whose "host" initialised Python
// before the module was used: the module must take that interpreter as it is.
#pragma push_macro("slots")
#undef slots
#include <Python.h>
#pragma pop_macro("slots")

#include <QtTest>

#include <memory>

#include "PythonLeaks.h"
#include "Velmora/import/EmbeddedPython.h"

using Velmora::EmbeddedPython;

namespace {

// What one module's signals delivered, and on which threads.
struct Received
{
    QStringList out, err;
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

// Runs the script in the module, then reads one of its globals; invalid when the script failed.
QVariant runAndRead(EmbeddedPython& module, const QString& source, const QString& name)
{
    return module.runScript(source) ? module.variable(name) : QVariant();
}

// What the host printed to its own stream, read as the host reads it: outside any module of ours.
QString hostOutput()
{
    PyGILState_STATE state = PyGILState_Ensure();
    PyObject* stream = PyDict_GetItemString(PyModule_GetDict(PyImport_AddModule("__main__")), "host_out");
    PyObject* value = PyObject_CallMethod(stream, "getvalue", nullptr);
    const QString text = value ? QString::fromUtf8(PyUnicode_AsUTF8(value)) : QString();
    Py_XDECREF(value);
    PyGILState_Release(state);
    return text;
}

} // namespace

class EmbeddedPythonTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(!Py_IsInitialized());
        Py_InitializeEx(0);
        PyRun_SimpleString("import io, sys\nsys.host_marker = 42\nhost_out = io.StringIO()\nsys.stdout = host_out\n");
        // A host that lets Python threads run while it is in its own event loop.
        PyEval_SaveThread();
        QVERIFY(EmbeddedPython::initialise());
        m_threads = threadCount();
    }
    void cleanupTestCase() { QTRY_COMPARE(threadCount(), m_threads); }

    void hostInterpreterIsKept()
    {
        EmbeddedPython module;
        QVERIFY(module.isValid());
        QCOMPARE(runAndRead(module, QStringLiteral("import sys\nmarker = sys.host_marker"), "marker"), QVariant(42LL));
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
        QCOMPARE(runAndRead(module, QStringLiteral("present = name in sys.modules"), "present"), QVariant(true));
        other.reset();
        QCOMPARE(runAndRead(module, QStringLiteral("present = name in sys.modules"), "present"), QVariant(false));
    }

    // The import hands the report's path over as text; None reads back as no value, a number as itself.
    void variables_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("pythonType");
        QTest::newRow("text") << QVariant(QStringLiteral("Заречье — юг")) << "str";
        QTest::newRow("invalid is None") << QVariant() << "NoneType";
        QTest::newRow("64-bit") << QVariant(-(Q_INT64_C(1) << 40)) << "int";
    }
    void variables()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, pythonType);
        EmbeddedPython module;
        QVERIFY(module.setVariable(QStringLiteral("v"), value));
        QCOMPARE(runAndRead(module, QStringLiteral("t = type(v).__name__\ncopy = v"), "t").toString(), pythonType);
        QCOMPARE(module.variable(QStringLiteral("copy")), value);
    }

    void scriptsAndCalls_data()
    {
        QTest::addColumn<QString>("source");   // run as script.py
        QTest::addColumn<QString>("callable"); // then called; empty: none
        QTest::addColumn<QVariant>("result");
        QTest::addColumn<QStringList>("error"); // parts of the error output; empty: success
        QTest::newRow("method by path") << "class A:\n    def f(self):\n        return [1, 'b']\na = A()" << "a.f"
                                        << QVariant(QVariantList{1LL, QStringLiteral("b")}) << QStringList();
        QTest::newRow("missing name") << "" << "nothing" << QVariant() << QStringList{"NameError"};
        QTest::newRow("syntax") << "def (:" << "" << QVariant() << QStringList{"SyntaxError", "script.py"};
        QTest::newRow("exception with trace") << "def f():\n    raise ValueError('boom')\nf()" << "" << QVariant()
                                              << QStringList{"Traceback", "script.py\", line 3", "ValueError: boom"};
        // Printed the usual way, SystemExit would end the host.
        QTest::newRow("exit") << "import sys\nsys.exit(3)" << "" << QVariant() << QStringList{"SystemExit: 3"};
    }
    void scriptsAndCalls()
    {
        QFETCH(QString, source);
        QFETCH(QString, callable);
        QFETCH(QVariant, result);
        QFETCH(QStringList, error);
        EmbeddedPython module;
        Received received(&module);
        QCOMPARE(module.runScript(source, QStringLiteral("script.py")), !callable.isEmpty() || error.isEmpty());
        bool called = error.isEmpty();
        if (!callable.isEmpty())
            QCOMPARE(module.call(callable, &called), result);
        // The host's other threads may run between calls.
        QVERIFY(!PyGILState_Check());
        QCOMPARE(called, error.isEmpty());
        for (const QString& part : error)
            QVERIFY2(received.errText().contains(part), qPrintable(received.errText()));
        QVERIFY(received.out.isEmpty());
        QVERIFY2(!error.isEmpty() || received.err.isEmpty(), qPrintable(received.errText()));
        // Still usable afterwards, and nothing leaked to the host's stream.
        QVERIFY(module.runScript(QStringLiteral("ok = 1")));
        QVERIFY(!hostOutput().contains(QLatin1String("Error")));
    }

    void outputOfTheCallingThread()
    {
        EmbeddedPython module;
        Received received(&module);
        QVERIFY(module.runScript(QStringLiteral("import sys\nprint('first')\nsys.stderr.write('second\\n')\n"
                                                "sys.stdout.writelines(['third'])")));
        // Delivered while the call runs, with no event loop in between.
        QCOMPARE(received.out + received.err, (QStringList{"first", "third", "second\n"}));
        QVERIFY(!module.runFile(QStringLiteral("/nonexistent/script.py")));
        QVERIFY(received.errText().contains(QLatin1String("/nonexistent/script.py")));
    }

    // A's worker writes while B's runs to its end inside B's call: each module gets its own lines, later and on this
    // thread, and B the trace of its worker's uncaught exception, printed after the worker's code returned.
    void workerOutputArrivesQueuedToItsModule()
    {
        const QString source = QStringLiteral("import threading, time\ndef work():\n"
                                              "    for i in range(5):\n"
                                              "        print(f'{tag} {i}')\n        time.sleep(0.001)\n"
                                              "    if tag == 'B': raise RuntimeError('worker failed')\n"
                                              "th = threading.Thread(target=work)\nth.start()\n"
                                              "if tag == 'B': th.join()\n");
        EmbeddedPython a, b;
        Received fromA(&a), fromB(&b);
        QVERIFY(a.setVariable(QStringLiteral("tag"), QStringLiteral("A")) && a.runScript(source));
        QVERIFY(b.setVariable(QStringLiteral("tag"), QStringLiteral("B")) && b.runScript(source));
        QVERIFY(fromB.out.isEmpty());
        QTRY_VERIFY(fromA.out.size() == 5 && fromB.out.size() == 5);
        QCOMPARE(fromA.out + fromB.out,
                 (QStringList{"A 0", "A 1", "A 2", "A 3", "A 4", "B 0", "B 1", "B 2", "B 3", "B 4"}));
        QTRY_VERIFY(fromB.errText().contains(QLatin1String("RuntimeError: worker failed")));
        QVERIFY(fromA.err.isEmpty());
        QCOMPARE(fromA.threads + fromB.threads, QSet<QThread*>{QThread::currentThread()});
    }

private:
    int m_threads = 0;
};

QTEST_GUILESS_MAIN(EmbeddedPythonTest)
#include "tst_embeddedpython.moc"