#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

namespace Velmora {

// The protocol's codes in the operator's words. The protocol rows carry
// Russian texts; the interface speaks English, with the code beside the word
// so that nothing is lost against the service's own log, and the Russian row
// text stays available for tool tips.
namespace ProtocolWords {

// "Local" for 3; "not reported" for -1; "unknown" for codes the protocol lacks.
QString controlSource(int code);
// "Local (3)".
QString controlSourceWithCode(int code);
QString specialState(int code);
QString specialStateWithCode(int code);

// "SET_STRAT", or the number for a code the protocol does not know.
QString commandName(qint64 code);
// "set strategy"; empty for unknown codes.
QString commandDescription(qint64 code);
// The parameters a command takes, in order: "strategy", "timeout (s)".
QStringList commandParameters(qint64 code);
// "STATE" for the reply to GET_STATE; empty when the reply has no name.
QString replyName(qint64 code);
// "strategy changed"; "unknown event" otherwise.
QString eventName(int id);
// The row's symbol ("OK", ">INV_STRAT") and its English text.
QString resultSymbol(qint64 code);
QString resultText(qint64 code);
// The row's own (Russian) text; empty for unknown codes.
QString resultRowText(qint64 code);
QString eventRowText(int id);
QString commandRowText(qint64 code);
// A result that reports success.
bool isSuccess(qint64 code);

// Every command name, for completion.
QStringList commandNames();

// One area's part of a STATE reply ("id source state special").
struct AreaState
{
    int id = 0;
    int controlSource = -1;
    int state = -1;
    int specialState = -1;
};
// The areas part of a STATE reply; false for a text that is not groups of four numbers.
bool parseAreasState(const QString& text, QList<AreaState>* areas);

} // namespace ProtocolWords

} // namespace Velmora
