#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace Velmora {

// The protocol's commands and the replies that answer them. Built once when
// the library is loaded and never changed afterwards, so any thread may read it.
// Every column is keyed by the code of the command or of the reply (a reply
// carries its request's code).
class CommandTable
{
public:
    static const CommandTable& instance();

    // Code of a command name in any letter case; false when no command has it.
    static bool code(const QString& name, int* code);
    // Empty list or 0 for a reply code without an entry.
    static QList<QVariant::Type> replyTypes(int replyCode);
    static int replyMinimumCount(int replyCode);
    // Private-object properties that receive the reply's parameters, by position.
    static QList<QByteArray> replyPropertyNames(int replyCode);

    QMap<int, QString> name;
    QMap<int, QString> replyName;
    QMap<int, QString> description;
    QMap<int, QStringList> paramNames;
    QMap<int, QList<QVariant::Type>> paramTypes;
    QMap<int, int> paramCount;
    QMap<int, QStringList> replyParamNames;
    QMap<int, QList<QVariant::Type>> replyParamTypes;
    QMap<int, int> replyMinCount;
    QMap<int, QList<QByteArray>> replyProperties;

private:
    CommandTable();
    Q_DISABLE_COPY(CommandTable)

    QHash<QString, int> m_codeByName;
};

} // namespace Velmora
