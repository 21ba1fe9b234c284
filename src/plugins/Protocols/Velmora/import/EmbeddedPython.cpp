// Python.h first: it sets feature macros the system headers must see. Its
// structures have members named "slots", which Qt defines away.
#pragma push_macro("slots")
#undef slots
#include <Python.h>
#pragma pop_macro("slots")

#include "EmbeddedPython.h"

#include <QFile>
#include <QHash>
#include <QStringList>

#include <dlfcn.h>

namespace Velmora {

namespace {

// The global that ties a module's namespace to its EmbeddedPython object.
// Functions keep their namespace alive after the module is dropped, so a
// number that is never reused, rather than a pointer, names the owner.
constexpr char tokenKey[] = "__velmora_embedded__";

enum Stream { StdOut = 1, StdErr = 2 };

// Live modules and the threads that ran their code. Touched only with the
// interpreter lock held, which is what serialises output delivery against
// a module going away.
struct Registry
{
    QHash<long long, EmbeddedPython*> modules;
    QHash<quint64, long long> threads; // thread state id -> token
    long long nextToken = 1;
};

Registry& registry()
{
    // Never destroyed: daemon threads may still write while the process exits.
    static Registry* const instance = new Registry;
    return *instance;
}

// The module whose call this thread is in, for output written from C (a
// traceback printed after the code returned), which has no frame to tell.
thread_local long long activeToken = 0;

class GilLock
{
public:
    GilLock() : m_state(PyGILState_Ensure()) {}
    ~GilLock() { PyGILState_Release(m_state); }
    GilLock(const GilLock&) = delete;
    GilLock& operator=(const GilLock&) = delete;

private:
    PyGILState_STATE m_state;
};

class ActiveModule
{
public:
    explicit ActiveModule(long long token) : m_saved(activeToken) { activeToken = token; }
    ~ActiveModule() { activeToken = m_saved; }
    ActiveModule(const ActiveModule&) = delete;
    ActiveModule& operator=(const ActiveModule&) = delete;

private:
    long long m_saved;
};

QString toQString(PyObject* text)
{
    Py_ssize_t size = 0;
    if (const char* utf8 = PyUnicode_AsUTF8AndSize(text, &size))
        return QString::fromUtf8(utf8, int(size));
    // Lone surrogates have no UTF-8 form.
    PyErr_Clear();
    PyObject* bytes = PyUnicode_AsEncodedString(text, "utf-8", "replace");
    if (!bytes) {
        PyErr_Clear();
        return QString();
    }
    const QString result = QString::fromUtf8(PyBytes_AS_STRING(bytes), int(PyBytes_GET_SIZE(bytes)));
    Py_DECREF(bytes);
    return result;
}

// The token of the innermost frame that runs code of one of our modules.
long long tokenOfFrames(PyThreadState* state)
{
    PyFrameObject* frame = PyThreadState_GetFrame(state);
    while (frame) {
#if PY_VERSION_HEX >= 0x030B0000
        PyObject* globals = PyFrame_GetGlobals(frame);
#else
        PyObject* globals = PyObject_GetAttrString(reinterpret_cast<PyObject*>(frame), "f_globals");
#endif
        long long token = 0;
        if (globals && PyDict_Check(globals)) {
            PyObject* value = PyDict_GetItemString(globals, tokenKey);
            if (value && PyLong_CheckExact(value))
                token = PyLong_AsLongLong(value);
        }
        Py_XDECREF(globals);
        PyErr_Clear();
        if (token > 0) {
            Py_DECREF(frame);
            return token;
        }
        PyFrameObject* back = PyFrame_GetBack(frame);
        Py_DECREF(frame);
        frame = back;
    }
    return 0;
}

// Hands a write to the module that produced it. False when it belongs to
// none of ours; output of a module that is gone counts as delivered.
bool deliver(int stream, PyObject* text)
{
    Registry& r = registry();
    PyThreadState* state = PyThreadState_Get();
    const quint64 thread = PyThreadState_GetID(state);
    long long token = tokenOfFrames(state);
    // A thread that runs module code outside our calls is that module's
    // worker; its trace printed by threading's hook has no module frame left.
    if (token && !activeToken)
        r.threads.insert(thread, token);
    if (!token)
        token = activeToken;
    if (!token)
        token = r.threads.value(thread);
    if (!token)
        return false;
    if (EmbeddedPython* module = r.modules.value(token)) {
        const QString s = toQString(text);
        if (stream == StdErr)
            emit module->stdErr(s);
        else
            emit module->stdOut(s);
    }
    return true;
}

PyObject* emitOutput(PyObject*, PyObject* args)
{
    int stream = 0;
    PyObject* text = nullptr;
    if (!PyArg_ParseTuple(args, "iU", &stream, &text))
        return nullptr;
    return PyBool_FromLong(deliver(stream, text));
}

PyMethodDef emitDef = {"emit", emitOutput, METH_VARARGS, nullptr};

// Replaces sys.stdout and sys.stderr; what no module of ours wrote goes on
// to the stream that was there before.
const char streamSource[] = R"(
import sys

class Stream:
    encoding = "utf-8"
    errors = "replace"
    closed = False

    def __init__(self, kind, previous):
        self._kind = kind
        self._previous = previous

    def write(self, text):
        if not isinstance(text, str):
            raise TypeError("write() argument must be str, not " + type(text).__name__)
        if not emit(self._kind, text) and self._previous is not None:
            self._previous.write(text)
        return len(text)

    def writelines(self, lines):
        for line in lines:
            self.write(line)

    def flush(self):
        if self._previous is not None:
            try:
                self._previous.flush()
            except Exception:
                pass

    def fileno(self):
        if self._previous is None:
            raise OSError("no file descriptor")
        return self._previous.fileno()

    def isatty(self):
        return False

    def readable(self):
        return False

    def writable(self):
        return True

    def seekable(self):
        return False

sys.stdout = Stream(1, sys.stdout)
sys.stderr = Stream(2, sys.stderr)
)";

// Needs the interpreter lock.
bool installStreams(QString* error)
{
    PyObject* globals = PyDict_New();
    PyObject* emitter = PyCFunction_New(&emitDef, nullptr);
    bool ok = globals && emitter && PyDict_SetItemString(globals, "__builtins__", PyEval_GetBuiltins()) == 0
        && PyDict_SetItemString(globals, "emit", emitter) == 0;
    if (ok) {
        PyObject* result = PyRun_String(streamSource, Py_file_input, globals, globals);
        ok = result != nullptr;
        Py_XDECREF(result);
    }
    if (!ok) {
        *error = QStringLiteral("cannot redirect the standard streams");
        PyErr_Print();
    }
    Py_XDECREF(emitter);
    Py_XDECREF(globals);
    return ok;
}

// The module is a plug-in the host opens with RTLD_LOCAL, and libpython comes
// in as its dependency, equally local. Extension modules that Python loads
// later (lxml) are not linked against libpython and expect its symbols in the
// global scope; and the interpreter keeps pointers to our code (the stream
// writer) for as long as the process lives, so this library must stay mapped.
// Neither handle is ever closed.
void prepareLibraries()
{
    Dl_info info;
    if (dladdr(reinterpret_cast<void*>(&Py_Initialize), &info) && info.dli_fname)
        dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_GLOBAL);
    if (dladdr(reinterpret_cast<void*>(&emitOutput), &info) && info.dli_fname)
        dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

struct InitResult
{
    bool ok = false;
    QString error;
};

InitResult initialiseOnce()
{
    prepareLibraries();
    InitResult result;
    if (Py_IsInitialized()) {
        // The host embeds Python too: use its interpreter as it is.
        GilLock lock;
        result.ok = installStreams(&result.error);
        return result;
    }
    PyConfig config;
    PyConfig_InitPythonConfig(&config);
    // Signals belong to the host; command-line arguments are not ours to parse.
    config.install_signal_handlers = 0;
    config.parse_argv = 0;
#ifdef VELMORA_PYTHON_EXECUTABLE
    // Otherwise sys.executable is whatever "python3" PATH finds first, which
    // need not be the interpreter this library belongs to.
    PyConfig_SetBytesString(&config, &config.program_name, VELMORA_PYTHON_EXECUTABLE);
#endif
    const PyStatus status = Py_InitializeFromConfig(&config);
    PyConfig_Clear(&config);
    if (PyStatus_Exception(status)) {
        result.error = QString::fromUtf8(status.err_msg ? status.err_msg : "cannot initialise Python");
        return result;
    }
    result.ok = installStreams(&result.error);
    // From here on, a thread holds the lock only while it runs Python.
    PyEval_SaveThread();
    return result;
}

// Needs the interpreter lock; the value stays borrowed by the caller.
QVariant toVariant(PyObject* value)
{
    if (value == Py_None)
        return QVariant();
    if (PyBool_Check(value))
        return value == Py_True;
    if (PyLong_Check(value)) {
        const long long number = PyLong_AsLongLong(value);
        if (number == -1 && PyErr_Occurred()) {
            PyErr_Clear();
            return PyLong_AsDouble(value);
        }
        return number;
    }
    if (PyFloat_Check(value))
        return PyFloat_AsDouble(value);
    if (PyUnicode_Check(value))
        return toQString(value);
    if (PyList_Check(value) || PyTuple_Check(value)) {
        QVariantList list;
        const Py_ssize_t size = PySequence_Fast_GET_SIZE(value);
        for (Py_ssize_t i = 0; i < size; ++i)
            list.append(toVariant(PySequence_Fast_GET_ITEM(value, i)));
        return list;
    }
    return QVariant();
}

// A new reference; needs the interpreter lock.
PyObject* toPython(const QVariant& value)
{
    switch (value.userType()) {
    case QMetaType::UnknownType:
        Py_RETURN_NONE;
    case QMetaType::Bool:
        return PyBool_FromLong(value.toBool());
    case QMetaType::Int:
    case QMetaType::LongLong:
        return PyLong_FromLongLong(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return PyLong_FromUnsignedLongLong(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return PyFloat_FromDouble(value.toDouble());
    default: {
        const QByteArray text = value.toString().toUtf8();
        return PyUnicode_FromStringAndSize(text.constData(), text.size());
    }
    }
}

} // namespace

struct EmbeddedPython::Private
{
    PyObject* module = nullptr;
    long long token = 0;
    QString name;
    QString error;

    PyObject* globals() const { return PyModule_GetDict(module); }
};

bool EmbeddedPython::initialise(QString* error)
{
    static const InitResult result = initialiseOnce();
    if (error)
        *error = result.error;
    return result.ok;
}

EmbeddedPython::EmbeddedPython(QObject* parent)
    : QObject(parent)
    , d(new Private)
{
    if (!initialise(&d->error))
        return;
    GilLock lock;
    Registry& r = registry();
    const long long token = r.nextToken++;
    const QString name = QStringLiteral("__velmora_embedded_%1").arg(token);
    PyObject* module = PyModule_New(name.toUtf8().constData());
    PyObject* tokenValue = PyLong_FromLongLong(token);
    const bool ok = module && tokenValue
        && PyDict_SetItemString(PyModule_GetDict(module), "__builtins__", PyEval_GetBuiltins()) == 0
        && PyDict_SetItemString(PyModule_GetDict(module), tokenKey, tokenValue) == 0
        && PyDict_SetItemString(PyImport_GetModuleDict(), name.toUtf8().constData(), module) == 0;
    Py_XDECREF(tokenValue);
    if (!ok) {
        PyErr_Clear();
        Py_XDECREF(module);
        d->error = QStringLiteral("cannot create the module %1").arg(name);
        return;
    }
    d->module = module;
    d->token = token;
    d->name = name;
    r.modules.insert(token, this);
}

EmbeddedPython::~EmbeddedPython()
{
    if (!d->module)
        return;
    GilLock lock;
    // From now on the module's output, from a thread still running its code, goes nowhere.
    registry().modules.remove(d->token);
    // Only the module object goes: its namespace lives on while a thread runs its functions.
    PyObject* modules = PyImport_GetModuleDict();
    const QByteArray name = d->name.toUtf8();
    if (PyDict_GetItemString(modules, name.constData()) == d->module)
        PyDict_DelItemString(modules, name.constData());
    PyErr_Clear();
    Py_DECREF(d->module);
}

bool EmbeddedPython::isValid() const
{
    return d->module != nullptr;
}

QString EmbeddedPython::moduleName() const
{
    return d->name;
}

namespace {

// Reports the pending exception on the module's standard error. Needs the
// interpreter lock and the module active on this thread.
void reportError(EmbeddedPython* module)
{
    if (PyErr_ExceptionMatches(PyExc_SystemExit)) {
        // Printing it the usual way would end the whole process.
        PyObject *type = nullptr, *value = nullptr, *traceback = nullptr;
        PyErr_Fetch(&type, &value, &traceback);
        PyErr_NormalizeException(&type, &value, &traceback);
        QString text = QStringLiteral("SystemExit");
        if (PyObject* code = value ? PyObject_GetAttrString(value, "code") : nullptr) {
            if (code != Py_None) {
                if (PyObject* str = PyObject_Str(code)) {
                    text += QStringLiteral(": ") + toQString(str);
                    Py_DECREF(str);
                }
            }
            Py_DECREF(code);
        }
        PyErr_Clear();
        Py_XDECREF(type);
        Py_XDECREF(value);
        Py_XDECREF(traceback);
        emit module->stdErr(text);
        return;
    }
    // No sys.last_* left behind: they would keep the module's frames alive.
    PyErr_PrintEx(0);
}

} // namespace

bool EmbeddedPython::setVariable(const QString& name, const QVariant& value)
{
    if (!d->module) {
        emit stdErr(d->error);
        return false;
    }
    GilLock lock;
    ActiveModule active(d->token);
    PyObject* object = toPython(value);
    const bool ok = object && PyDict_SetItemString(d->globals(), name.toUtf8().constData(), object) == 0;
    Py_XDECREF(object);
    if (!ok)
        reportError(this);
    return ok;
}

bool EmbeddedPython::runScript(const QString& source, const QString& fileName)
{
    if (!d->module) {
        emit stdErr(d->error);
        return false;
    }
    GilLock lock;
    ActiveModule active(d->token);
    PyObject* code = Py_CompileString(source.toUtf8().constData(), fileName.toUtf8().constData(), Py_file_input);
    PyObject* result = code ? PyEval_EvalCode(code, d->globals(), d->globals()) : nullptr;
    Py_XDECREF(code);
    if (!result) {
        reportError(this);
        return false;
    }
    Py_DECREF(result);
    return true;
}

bool EmbeddedPython::runFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        emit stdErr(QStringLiteral("%1: %2").arg(path, file.errorString()));
        return false;
    }
    return runScript(QString::fromUtf8(file.readAll()), path);
}

QVariant EmbeddedPython::call(const QString& callable, bool* ok)
{
    if (ok)
        *ok = false;
    if (!d->module) {
        emit stdErr(d->error);
        return QVariant();
    }
    GilLock lock;
    ActiveModule active(d->token);
    const QStringList path = callable.split(QLatin1Char('.'));
    const QByteArray first = path.first().toUtf8();
    PyObject* target = PyDict_GetItemString(d->globals(), first.constData());
    if (!target)
        target = PyDict_GetItemString(PyEval_GetBuiltins(), first.constData());
    if (target)
        Py_INCREF(target);
    else
        PyErr_Format(PyExc_NameError, "name '%s' is not defined", first.constData());
    for (int i = 1; target && i < path.size(); ++i) {
        PyObject* attribute = PyObject_GetAttrString(target, path.at(i).toUtf8().constData());
        Py_DECREF(target);
        target = attribute;
    }
    PyObject* result = target ? PyObject_CallNoArgs(target) : nullptr;
    Py_XDECREF(target);
    if (!result) {
        reportError(this);
        return QVariant();
    }
    const QVariant value = toVariant(result);
    Py_DECREF(result);
    if (ok)
        *ok = true;
    return value;
}

QVariant EmbeddedPython::variable(const QString& name) const
{
    if (!d->module)
        return QVariant();
    GilLock lock;
    PyObject* value = PyDict_GetItemString(d->globals(), name.toUtf8().constData());
    return value ? toVariant(value) : QVariant();
}

} // namespace Velmora
