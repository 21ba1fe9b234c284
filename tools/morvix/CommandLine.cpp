#include "CommandLine.h"

#include <QMap>

namespace Morvix {

namespace {

bool toId(const QString& text, int* value)
{
    bool ok = false;
    *value = text.toInt(&ok);
    return ok && *value >= 0;
}

} // namespace

bool CommandLine::parse(const QStringList& arguments, CommandLine* line, QString* error)
{
    static const QStringList known{QStringLiteral("--controller-config"), QStringLiteral("--get-prog-list"),
                                   QStringLiteral("--object-id"), QStringLiteral("--edit-prog"),
                                   QStringLiteral("--prog-id")};
    QMap<QString, QString> values;
    for (int at = 0; at < arguments.size(); at += 2) {
        const QString& option = arguments.at(at);
        if (!known.contains(option)) {
            *error = QStringLiteral("unknown argument '%1'").arg(option);
            return false;
        }
        if (at + 1 >= arguments.size()) {
            *error = QStringLiteral("%1 needs a value").arg(option);
            return false;
        }
        if (values.contains(option)) {
            *error = QStringLiteral("%1 is given twice").arg(option);
            return false;
        }
        values.insert(option, arguments.at(at + 1));
    }

    CommandLine result;
    result.configFile = values.take(QStringLiteral("--controller-config"));
    if (result.configFile.isEmpty()) {
        *error = QStringLiteral("--controller-config FILE is required");
        return false;
    }
    if (values.contains(QStringLiteral("--get-prog-list"))) {
        result.mode = ListPrograms;
        result.listFile = values.take(QStringLiteral("--get-prog-list"));
        if (!values.isEmpty()) {
            *error = QStringLiteral("--get-prog-list does not go with %1").arg(values.firstKey());
            return false;
        }
    } else {
        result.mode = EditProgram;
        if (!values.contains(QStringLiteral("--object-id")) || !values.contains(QStringLiteral("--edit-prog"))) {
            *error = QStringLiteral("either --get-prog-list or --object-id and --edit-prog are required");
            return false;
        }
        if (!toId(values.value(QStringLiteral("--object-id")), &result.objectId)) {
            *error = QStringLiteral("invalid object id '%1'").arg(values.value(QStringLiteral("--object-id")));
            return false;
        }
        result.programFile = values.value(QStringLiteral("--edit-prog"));
        if (values.contains(QStringLiteral("--prog-id")) &&
            !toId(values.value(QStringLiteral("--prog-id")), &result.programId)) {
            *error = QStringLiteral("invalid program id '%1'").arg(values.value(QStringLiteral("--prog-id")));
            return false;
        }
    }
    if (result.listFile.isEmpty() && result.mode == ListPrograms) {
        *error = QStringLiteral("--get-prog-list needs a file name");
        return false;
    }
    if (result.programFile.isEmpty() && result.mode == EditProgram) {
        *error = QStringLiteral("--edit-prog needs a file name");
        return false;
    }
    *line = result;
    return true;
}

QString CommandLine::usage()
{
    return QStringLiteral("usage: morvix --controller-config FILE --get-prog-list LISTFILE\n"
                          "       morvix --controller-config FILE --object-id ID --edit-prog PROGFILE [--prog-id N]\n");
}

} // namespace Morvix
