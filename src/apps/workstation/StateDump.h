#pragma once

#include <QJsonObject>
#include <QList>
#include <QRect>

class QObject;

namespace Velmora {

// A snapshot of what the workstation sees of its zones, read by property
// names only: for scripts and tests that check a session from outside.
namespace StateDump {

// {"zones":[{"id","file","isConnected","hashInvalid","controlSource",
//   "currentStrategy","areas":[{"id","controlSource","currentState","specialState"}]}]}
QJsonObject zones(const QList<QObject*>& zones);
// True when there is a zone and every zone's link is up with its state
// known: a strategy and every area's state reported, or the configuration
// check failed (then the service's state is not taken at all).
bool allLinked(const QJsonObject& state);
// The map's viewport inside the main window, so a screenshot can be cropped to it.
QJsonObject rect(const QRect& rect);
// Replaces the file whole, or leaves it as it was and says why in *error.
bool write(const QString& fileName, const QJsonObject& state, QString* error);

} // namespace StateDump

} // namespace Velmora
