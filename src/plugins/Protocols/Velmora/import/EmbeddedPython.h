#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>

namespace Velmora {

// One module of the process's embedded CPython interpreter.
//
// The interpreter is initialised once per process (or taken as it is when the
// host initialised it) and never finalised: threads started by scripts may
// outlive every module. The calling thread holds the interpreter lock only
// inside the calls below, so Python threads run while it waits elsewhere.
//
// Whatever the module's code writes to sys.stdout and sys.stderr, from any
// thread, arrives as stdOut()/stdErr() of this object; output of other code
// goes where it went before. Writes from a thread other than this object's
// arrive queued in this object's thread. Once the object is destroyed, output
// still produced by its code (a thread it started) is dropped.
class EmbeddedPython : public QObject
{
    Q_OBJECT

public:
    // Initialises the interpreter unless it already is, and redirects the
    // standard streams. Repeated calls only report the first call's outcome.
    static bool initialise(QString* error = nullptr);

    // A fresh module with a unique name; initialises the interpreter first.
    explicit EmbeddedPython(QObject* parent = nullptr);
    ~EmbeddedPython() override;

    bool isValid() const;
    QString moduleName() const;

    // Sets a global of the module: numbers and booleans as such, anything else
    // as its text; an invalid QVariant gives None.
    bool setVariable(const QString& name, const QVariant& value);
    // Runs source text in the module in file-input mode; fileName appears in tracebacks.
    bool runScript(const QString& source, const QString& fileName = QStringLiteral("<string>"));
    // Runs a file (a resource path works too) in the module in file-input mode.
    bool runFile(const QString& path);
    // Calls a global callable, or an attribute path such as "th.is_alive",
    // without arguments. *ok is false when the call raised.
    QVariant call(const QString& callable, bool* ok = nullptr);
    // A global of the module as a QVariant: None, a missing name or a value
    // of a type without a Qt counterpart give an invalid QVariant.
    QVariant variable(const QString& name) const;

signals:
    void stdOut(const QString& text);
    void stdErr(const QString& text);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace Velmora
