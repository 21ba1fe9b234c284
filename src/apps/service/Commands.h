#pragma once

#include "Velmora/format/Protocol.h"

#include <QList>
#include <QString>
#include <QVariant>

// The service's side of the protocol vocabulary: what each command carries and
// what its reply carries, read from the shared protocol rows.
namespace Service {

using namespace Velmora::Protocol;

struct CommandInfo
{
    quint32 code;
    QString name;
    QList<QVariant::Type> params;
    QList<QVariant::Type> reply; // empty for commands without a reply block
};

// Null for a code the service does not know.
const CommandInfo* findCommand(quint32 code);
// ">OK", ">INV_STRAT", ...; the number as text for codes without a symbol.
QString resultSymbol(quint32 result);

} // namespace Service
