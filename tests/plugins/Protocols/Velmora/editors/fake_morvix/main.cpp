// Fake program editor for the controllers state editor's tests. Environment:
//   FAKE_MORVIX_RECORD  file to which one JSON line per run is appended: the
//                       program path as started, the arguments, and what the
//                       --controller-config and --edit-prog files held
//   FAKE_MORVIX_LIST    written into the --get-prog-list file
//   FAKE_MORVIX_PROGRAM written into the --edit-prog file
//   FAKE_MORVIX_REMOVE_PROGRAM=1  deletes the --edit-prog file instead
//   FAKE_MORVIX_SLEEP   milliseconds to take before exiting
//   FAKE_MORVIX_EXIT    exit status (after writing)
//   FAKE_MORVIX_CRASH=1 aborts (after writing)

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QThread>

#include <cstdlib>

namespace {

QString valueOf(const QStringList& arguments, const char* option)
{
    const int at = arguments.indexOf(QLatin1String(option));
    return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1) : QString();
}

QJsonValue contentOf(const QString& name)
{
    QFile file(name);
    if (name.isEmpty() || !file.open(QIODevice::ReadOnly))
        return QJsonValue();
    return QString::fromUtf8(file.readAll());
}

void write(const QString& name, const QByteArray& bytes)
{
    QFile file(name);
    if (!name.isEmpty() && file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int at = 1; at < argc; ++at)
        arguments.append(QString::fromLocal8Bit(argv[at]));
    const QString configFile = valueOf(arguments, "--controller-config");
    const QString listFile = valueOf(arguments, "--get-prog-list");
    const QString programFile = valueOf(arguments, "--edit-prog");

    const QString record = qEnvironmentVariable("FAKE_MORVIX_RECORD");
    if (!record.isEmpty()) {
        const QJsonObject run{{QStringLiteral("program"), QString::fromLocal8Bit(argv[0])},
                              {QStringLiteral("args"), QJsonArray::fromStringList(arguments)},
                              {QStringLiteral("config"), contentOf(configFile)},
                              {QStringLiteral("programFile"), contentOf(programFile)}};
        QFile file(record);
        if (file.open(QIODevice::Append))
            file.write(QJsonDocument(run).toJson(QJsonDocument::Compact) + '\n');
    }

    if (qEnvironmentVariableIsSet("FAKE_MORVIX_LIST"))
        write(listFile, qgetenv("FAKE_MORVIX_LIST"));
    if (qEnvironmentVariable("FAKE_MORVIX_REMOVE_PROGRAM") == QLatin1String("1"))
        QFile::remove(programFile);
    else if (qEnvironmentVariableIsSet("FAKE_MORVIX_PROGRAM"))
        write(programFile, qgetenv("FAKE_MORVIX_PROGRAM"));

    QThread::msleep(qEnvironmentVariableIntValue("FAKE_MORVIX_SLEEP"));
    if (qEnvironmentVariable("FAKE_MORVIX_CRASH") == QLatin1String("1"))
        std::abort();
    return qEnvironmentVariableIntValue("FAKE_MORVIX_EXIT");
}
