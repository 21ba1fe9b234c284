// Fake program editor for the controllers state editor's tests. Environment:
//   FAKE_MORVIX_RECORD  file to which one JSON line per run is appended: the
//                       program path as started, the arguments, and what the
//                       --controller-config and --edit-prog files held
//   FAKE_MORVIX_LIST    written into the --get-prog-list file
//   FAKE_MORVIX_PROGRAM written into the --edit-prog file
//   FAKE_MORVIX_REMOVE_PROGRAM=1  deletes the --edit-prog file instead
//   FAKE_MORVIX_EXIT    exit status (after writing)
//   FAKE_MORVIX_CRASH=1 aborts (after writing)

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <cstdlib>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int at = 1; at < argc; ++at)
        arguments.append(QString::fromLocal8Bit(argv[at]));
    const auto valueOf = [&arguments](const char* option) {
        const int at = arguments.indexOf(QLatin1String(option));
        return at < 0 ? QString() : arguments.value(at + 1);
    };
    const auto contentOf = [](const QString& name) {
        QFile file(name);
        return !name.isEmpty() && file.open(QIODevice::ReadOnly) ? QJsonValue(QString::fromUtf8(file.readAll()))
                                                                  : QJsonValue();
    };
    const auto write = [](const QString& name, const QByteArray& bytes) {
        QFile file(name);
        if (!name.isEmpty() && file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            file.write(bytes);
    };
    const QString programFile = valueOf("--edit-prog");

    const QString record = qEnvironmentVariable("FAKE_MORVIX_RECORD");
    if (!record.isEmpty()) {
        const QJsonObject run{{QStringLiteral("program"), QString::fromLocal8Bit(argv[0])},
                              {QStringLiteral("args"), QJsonArray::fromStringList(arguments)},
                              {QStringLiteral("config"), contentOf(valueOf("--controller-config"))},
                              {QStringLiteral("programFile"), contentOf(programFile)}};
        QFile file(record);
        if (file.open(QIODevice::Append))
            file.write(QJsonDocument(run).toJson(QJsonDocument::Compact) + '\n');
    }

    if (qEnvironmentVariableIsSet("FAKE_MORVIX_LIST"))
        write(valueOf("--get-prog-list"), qgetenv("FAKE_MORVIX_LIST"));
    if (qEnvironmentVariable("FAKE_MORVIX_REMOVE_PROGRAM") == QLatin1String("1"))
        QFile::remove(programFile);
    else if (qEnvironmentVariableIsSet("FAKE_MORVIX_PROGRAM"))
        write(programFile, qgetenv("FAKE_MORVIX_PROGRAM"));

    if (qEnvironmentVariable("FAKE_MORVIX_CRASH") == QLatin1String("1"))
        std::abort();
    return qEnvironmentVariableIntValue("FAKE_MORVIX_EXIT");
}
